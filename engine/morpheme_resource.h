#pragma once
// Escaping of the analysis reply text before it is parsed as XML.

#include "engine/line_end.h"

#include <string>

namespace morphemeResource {

// Returns the text with every line end replaced by "EndOfLine", then every tab
// by "tab", then every "<surface> </surface>" by "<surface>space</surface>".
// Escaping an escaped text changes nothing.
std::string replaceAllTheSpecialCharactersToSymbol(const std::string& text);

} // namespace morphemeResource
