#include "service/char_classes.h"

#include "service/utf8.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orizume::service {

namespace {

// char.bin: the number of classes, their names (32 bytes each), then one 32-bit record per code
// point below U+FFFF whose low 18 bits are the set of classes.
constexpr std::size_t codePoints = 0xFFFF;
constexpr std::size_t nameBytes = 32;
constexpr std::uint32_t classBits = (1U << 18) - 1;

} // namespace

CharClasses::CharClasses(const std::string& dicdir) {
    const std::string path = dicdir + "/char.bin";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    const std::string data((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    std::uint32_t count = 0;
    if (data.size() >= sizeof count) {
        std::memcpy(&count, data.data(), sizeof count);
    }
    const std::size_t mapStart = sizeof count + std::size_t{count} * nameBytes;
    if (count == 0 || data.size() != mapStart + codePoints * sizeof(std::uint32_t)) {
        throw std::runtime_error(path + " is not a MeCab character class table");
    }
    classes_.resize(codePoints);
    std::memcpy(classes_.data(), data.data() + mapStart, codePoints * sizeof(std::uint32_t));
    for (std::uint32_t& classes : classes_) {
        classes &= classBits;
    }
}

std::uint32_t CharClasses::of(std::string_view text, std::size_t pos, std::size_t length) const {
    // MeCab reads a character outside the Basic Multilingual Plane as U+0000.
    const char32_t cp = length < 4 ? codePointAt(text, pos, length) : 0;
    return cp < classes_.size() ? classes_[cp] : classes_[0];
}

} // namespace orizume::service
