#pragma once

#include <string_view>

namespace engine {

// The one line end of the whole program: preferences lines, the pool dump, the
// surface of a word without text, and the reply escaping.
inline constexpr std::string_view kLineEnd = "\n";

} // namespace engine
