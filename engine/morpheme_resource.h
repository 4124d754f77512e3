#pragma once
// Escaping of the analysis reply text before it is parsed as XML.

#include "engine/line_end.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morphemeResource {

// Returns the text with every line end replaced by "EndOfLine", then every tab
// by "tab", then every "<surface> </surface>" by "<surface>space</surface>".
// Escaping an escaped text changes nothing. One pass over the text, so a large
// reply is not copied once per rule.
// With `record`, also notes where it replaced what, for EscapeRecord::originalOffset.
class EscapeRecord;
std::string replaceAllTheSpecialCharactersToSymbol(std::string_view text,
                                                   EscapeRecord* record = nullptr);

// Where the escaping replaced what: so that a place in the escaped text (where
// the XML parser stopped) can be told in the text as it arrived. A few bytes
// per replacement, rather than a copy of the text kept through the parse.
class EscapeRecord {
public:
    enum Rule : std::uint8_t { kLineEndRule, kTabRule, kBlankSurfaceRule };
    void add(std::size_t escapedAt, Rule rule) { replaced_.push_back(escapedAt << 2 | rule); }

    // The offset in the original text of the byte at `escaped` in the escaped
    // text (both from 0). A byte that a replacement put in stands for the byte
    // it replaced; past the end, as far past the original's end.
    std::size_t originalOffset(std::size_t escaped) const;

private:
    std::vector<std::uint64_t> replaced_; // where in the escaped text << 2 | rule
};

} // namespace morphemeResource
