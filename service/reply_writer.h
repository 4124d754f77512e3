#pragma once

#include "service/analyzer.h"

#include <string>
#include <string_view>
#include <vector>

namespace orizume::service {

// The analysis reply: the XML declaration, then
// <ResultSet><ma_result><total_count/><filtered_count/><word_list><word><surface/><reading/>
// <pos/></word>...</word_list></ma_result></ResultSet>, with nothing between elements and no line
// end outside the root. The program walks it by position and replaces every line feed of the
// reply before parsing, so a line feed may only stand inside a surface (where it is a word).
std::string writeReply(const std::vector<Word>& words);

// A small XML document naming why a request was refused.
std::string writeError(int status, std::string_view message);

// Appends text with &, < and > escaped. Spaces, tabs and line feeds stay literal characters,
// which the program's escaping of the reply relies on.
void appendEscaped(std::string& out, std::string_view text);

} // namespace orizume::service
