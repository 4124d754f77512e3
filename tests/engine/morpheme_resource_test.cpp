#include "engine/morpheme_resource.h"

#include <gtest/gtest.h>

namespace {

TEST(morphemeResource, EscapesLineEndsTabsAndSingleSpaceSurfaces) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"<surface> </surface>", "<surface>space</surface>"},
        {"<surface>\t</surface>", "<surface>tab</surface>"}, {"<surface>  </surface>", "<surface>  </surface>"},
        {"<surface>\n</surface>", "<surface>EndOfLine</surface>"}, {"<a/>\n  <b/>", "<a/>EndOfLine  <b/>"},
        {"<surface> \t</surface>", "<surface> tab</surface>"}, {"\xff\t\xfe", "\xfftab\xfe"},
        {"<surface> </surface><surface> </surface>", "<surface>space</surface><surface>space</surface>"},
        {"<surface> </surface", "<surface> </surface"},
        {"<surface a=\"1\"> </surface>", "<surface a=\"1\"> </surface>"},
        {"a\r\nb\rc", "a\rEndOfLineb\rc"}, // only the program's line end is replaced
        {"<surface>a\tb\nc</surface>", "<surface>atabbEndOfLinec</surface>"},
    };
    // clang-format on
    for (const auto& [text, escaped] : cases) {
        const std::string once = morphemeResource::replaceAllTheSpecialCharactersToSymbol(text);
        EXPECT_EQ(once, escaped) << testing::PrintToString(text);
        EXPECT_EQ(morphemeResource::replaceAllTheSpecialCharactersToSymbol(once), once)
            << "escaped twice: " << testing::PrintToString(text);
    }
}

} // namespace
