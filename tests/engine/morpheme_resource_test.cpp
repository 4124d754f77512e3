#include "engine/morpheme_resource.h"
#include "tests/support/escaping_model.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using testing_support::escapedByPasses;

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

TEST(morphemeResource, MatchesTheThreeWholeTextPasses) {
    // Texts of pieces that make, break and neighbour blank surfaces; each byte
    // of the escaped text is told in the original where the passes took it from.
    const std::string pieces[] = {
        "<surface>", "</surface>",           " ", "  ", "\n", "\t", "<", ">", "a",
        "あ",        "<surface> </surface>", "\r"};
    std::mt19937 pick(1);
    for (int run = 0; run < 2000; ++run) {
        std::string text;
        for (int n = static_cast<int>(pick() % 12); n > 0; --n)
            text += pieces[pick() % std::size(pieces)];
        morphemeResource::EscapeRecord record;
        ASSERT_EQ(morphemeResource::replaceAllTheSpecialCharactersToSymbol(text, &record),
                  escapedByPasses(text))
            << testing::PrintToString(text);
        const testing_support::TracedText traced = testing_support::tracedByPasses(text);
        for (std::size_t at = 0; at < traced.origin.size(); ++at)
            ASSERT_EQ(record.originalOffset(at), traced.origin[at])
                << testing::PrintToString(text) << " byte " << at;
    }
}

// Each rule once: "x\ny\tz<surface> </surface>!" escapes to
// "xEndOfLineytabz<surface>space</surface>!". A byte put in stands for the
// byte it replaced; the rest keep their places, shifted back.
TEST(morphemeResource, TellsPlacesInTheEscapedTextInTheOriginal) {
    morphemeResource::EscapeRecord record;
    const std::string escaped = morphemeResource::replaceAllTheSpecialCharactersToSymbol(
        "x\ny\tz<surface> </surface>!", &record);
    ASSERT_EQ(escaped, "xEndOfLineytabz<surface>space</surface>!");
    const std::pair<std::size_t, std::size_t> places[] = {
        {0, 0},  {1, 1},   {9, 1},   {10, 2},  {11, 3},  {13, 3},  {14, 4},
        {15, 5}, {23, 13}, {24, 14}, {28, 14}, {29, 15}, {39, 25}, {40, 26},
    };
    for (const auto& [at, original] : places)
        EXPECT_EQ(record.originalOffset(at), original) << "escaped byte " << at;
}

} // namespace
