#include "platform/text.h"

#include <cmath>
#include <limits>

namespace platform {

std::int32_t characterCount(const QString& text) {
    // Surrogate pairs count once; a lone surrogate counts as one character.
    std::int32_t count = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

double Val(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    bool digits = false;
    while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
        ++i;
        digits = true;
    }
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

std::int32_t toInt32(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (value <= lo)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= hi)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::trunc(value));
}

} // namespace platform
