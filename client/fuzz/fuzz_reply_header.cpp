// Fuzzes the reply reader: any bytes, read whole or arriving in pieces, give
// the same header block, and parsing the block never fails.

#include "platform/http_wire.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto whole = platform::findHeaderEnd(bytes);

    // As the socket does: each pass resumes a few bytes before where the last stopped.
    std::optional<platform::HeaderEnd> pieced;
    qsizetype have = 0;
    while (!pieced && have < bytes.size()) {
        const qsizetype from = std::max<qsizetype>(0, have - 3);
        have = std::min<qsizetype>(bytes.size(), have + 1 + have / 3);
        pieced = platform::findHeaderEnd(bytes.left(have), from);
    }
    if (whole.has_value() != pieced.has_value())
        std::abort();
    if (whole && (whole->blockLength != pieced->blockLength ||
                  whole->terminatorLength != pieced->terminatorLength))
        std::abort();

    if (whole)
        (void)platform::parseHeaderBlock(bytes.left(whole->blockLength));
    (void)platform::parseHeaderBlock(bytes);
    return 0;
}
