#include "engine/morpheme_resource.h"

#include "engine/text_chars.h"

namespace morphemeResource {

std::string replaceAllTheSpecialCharactersToSymbol(const std::string& text) {
    // The order matters: after the first two steps a surface of one line end or
    // one tab already reads "EndOfLine" or "tab", and none of the inserted words
    // holds anything a later step would replace.
    std::string escaped = engine::replaceAll(text, engine::kLineEnd, "EndOfLine");
    escaped = engine::replaceAll(escaped, "\t", "tab");
    return engine::replaceAll(escaped, "<surface> </surface>", "<surface>space</surface>");
}

} // namespace morphemeResource
