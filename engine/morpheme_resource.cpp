#include "engine/morpheme_resource.h"

#include <algorithm>

namespace morphemeResource {

namespace {

constexpr std::string_view kEndOfLineWord = "EndOfLine";
constexpr std::string_view kTabWord = "tab";
constexpr std::string_view kOpenSurface = "<surface>";
constexpr std::string_view kBlankSurface = "<surface> </surface>";
constexpr std::string_view kSpaceSurface = "<surface>space</surface>";
constexpr auto npos = std::string_view::npos;

// Where the first blank surface at or after `from` starts, or npos. Spaces are
// rare in a reply and '<' is everywhere, so the search is for the space.
std::size_t findBlankSurface(std::string_view text, std::size_t from) {
    for (std::size_t space = text.find(' ', from + kOpenSurface.size()); space != npos;
         space = text.find(' ', space + 1)) {
        const std::size_t start = space - kOpenSurface.size();
        if (text.substr(start).starts_with(kBlankSurface))
            return start;
    }
    return npos;
}

} // namespace

std::string replaceAllTheSpecialCharactersToSymbol(std::string_view text, EscapeRecord* record) {
    // One pass left to right, one rule per position, gives what the three
    // whole-text passes give: the words put in for line ends and tabs hold none
    // of the characters of a blank surface, so they neither make nor break one,
    // and two blank surfaces cannot overlap.
    //
    // The reply is escaped on every "Parse", so this is on the click path: it
    // jumps from one place a rule applies to the next (each found by a byte
    // search) and copies the unchanged runs between them whole. The output
    // grows by a few bytes per line end or tab; a quarter more is room for a
    // reply made mostly of them before the string has to grow.
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 4);
    std::size_t copied = 0; // text before this is in `escaped`
    std::size_t lineEnd = text.find(engine::kLineEnd);
    std::size_t tab = text.find('\t');
    std::size_t blank = findBlankSurface(text, 0);
    for (;;) {
        // A place found before the end of the last replacement lies inside it:
        // look again from there.
        if (lineEnd < copied)
            lineEnd = text.find(engine::kLineEnd, copied);
        if (tab < copied)
            tab = text.find('\t', copied);
        if (blank < copied)
            blank = findBlankSurface(text, copied);
        const std::size_t at = std::min({lineEnd, tab, blank});
        if (at == npos)
            break;
        escaped.append(text.substr(copied, at - copied));
        if (record)
            record->add(escaped.size(), at == lineEnd ? EscapeRecord::kLineEndRule
                                        : at == tab   ? EscapeRecord::kTabRule
                                                      : EscapeRecord::kBlankSurfaceRule);
        if (at == lineEnd) {
            escaped.append(kEndOfLineWord);
            copied = at + engine::kLineEnd.size();
        } else if (at == tab) {
            escaped.append(kTabWord);
            copied = at + 1;
        } else {
            escaped.append(kSpaceSurface);
            copied = at + kBlankSurface.size();
        }
    }
    escaped.append(text.substr(copied));
    return escaped;
}

std::size_t EscapeRecord::originalOffset(std::size_t escaped) const {
    struct Replacement {
        std::size_t from, to; // bytes replaced, bytes put in
        std::size_t kept;     // of those, the same before the byte that changed
    };
    static constexpr Replacement kReplacements[] = {
        {engine::kLineEnd.size(), kEndOfLineWord.size(), 0},
        {1, kTabWord.size(), 0},
        {kBlankSurface.size(), kSpaceSurface.size(), kOpenSurface.size()},
    };
    std::size_t grown = 0; // by the replacements before
    for (const std::uint64_t entry : replaced_) {
        const std::size_t at = static_cast<std::size_t>(entry >> 2);
        if (escaped < at)
            break;
        const Replacement& r = kReplacements[entry & 3];
        const std::size_t in = escaped - at;
        if (in < r.to) {
            const std::size_t more = r.to - r.from;
            const std::size_t original = at - grown;
            if (in < r.kept)
                return original + in;
            if (in <= r.kept + more)
                return original + r.kept;
            return original + in - more;
        }
        grown += r.to - r.from;
    }
    return escaped - grown;
}

} // namespace morphemeResource
