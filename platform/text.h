#pragma once
// Text functions that count the way the program needs: characters are Unicode
// code points (QString::length() counts UTF-16 units).

#include <QString>
#include <cstdint>

namespace platform {

// Number of characters (code points) in the text.
std::int32_t characterCount(const QString& text);

// The decimal number at the start of the text, as a double; 0 when there is none.
// Leading blanks are skipped; an optional sign, digits and one fraction part are read.
double Val(const QString& text);

// The one conversion from a double to a signed 32-bit integer used wherever a
// fractional value becomes an integer: truncation toward zero, clamped to the
// 32-bit range; NaN gives 0.
std::int32_t toInt32(double value);

} // namespace platform
