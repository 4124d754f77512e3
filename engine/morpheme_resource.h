#pragma once
// Escaping of the analysis reply text before it is parsed as XML.

#include "engine/line_end.h"

#include <string>
#include <string_view>

namespace morphemeResource {

// Returns the text with every line end replaced by "EndOfLine", then every tab
// by "tab", then every "<surface> </surface>" by "<surface>space</surface>".
// Escaping an escaped text changes nothing. One pass over the text, so a large
// reply is not copied once per rule.
std::string replaceAllTheSpecialCharactersToSymbol(std::string_view text);

} // namespace morphemeResource
