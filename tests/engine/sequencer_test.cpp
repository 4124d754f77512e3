#include "engine/sequencer.h"
#include "engine_test_support.h"

#include <limits>
#include <utility>

namespace {

using namespace enginetest;
using Parts = std::vector<std::int32_t>;

struct MergeCase {
    const char* name;
    const char* words; // "pos surface", joined by "|"
    Parts parts;
    const char* units;       // joined by "|"
    Parts nounSubPools;      // the noun pool's record: 1 = marked, 2 = ideographs, 3 = other
    const char* states = ""; // when given, the merge state after each call
};

// clang-format off
TEST_F(sequencerClassTest, MergesAndFilesUnits) {
    const MergeCase cases[] = {
        {"example 1", "名詞 私|助詞 は|名詞 東京|名詞 大学|助詞 に|動詞 行き|助動詞 まし|助動詞 た|特殊 。",
         {1, 7, 1, 7, 3}, "私|は|東京大学|に|行きました。", {3, 2}, "101102330"},
        {"example 2", "名詞 田中|接尾辞 さん|助詞 は|名詞 勉強|動詞 する|特殊 。",
         {1, 7, 1, 4, 7}, "田中さん|は|勉強|する|。", {3, 1}, "100120"},
        {"example 3", "名詞 雨|助詞 さえ|動詞 降っ|助動詞 た|特殊 。", {1, 7, 3}, "雨|さえ|降った。", {1}, "10230"},
        {"example 4", "形容詞 高い|助動詞 です|特殊 。|形容詞 高かっ|助動詞 た|特殊 。",
         {5, 7, 7, 5, 7}, "高い|です|。|高かった|。", {}, "400400"},
        {"example 5", "動詞 食べ|助詞 て|動詞 寝る|特殊 。|副詞 とても|形容詞 美しく|形容動詞 静かな|名詞 町|特殊 。",
         {2, 4, 7, 6, 7, 1, 7}, "食べて|寝る|。|とても|美しく静かな|町|。", {3}, "202004010"},
        {"suffix closes the run", "名詞 田中|接尾辞 さま|名詞 花子|助詞 は", {1, 1, 7}, "田中さま|花子|は", {3, 2}, "1010"},
        {"でき, not 出来", "名詞 料理|動詞 ができる|名詞 料理|動詞 出来る", {1, 4, 1, 4}, "料理|ができる|料理|出来る", {1, 2}},
        {"す later: no marker", "名詞 先生|動詞 います|名詞 東京|特殊 ", {1, 4, 1, 7}, "先生|います|東京|", {2, 2}},
        {"auxiliary 。 stays in", "動詞 行っ|助動詞 た|助動詞 。|助動詞 らしい|助詞 よ", {3, 7}, "行った。らしい|よ", {}},
        {"stop of any part of speech", "動詞 行っ|助動詞 た|名詞 .", {3}, "行った.", {}},
        {"stop and more text", "動詞 行っ|助動詞 た|特殊 。」", {3, 7}, "行った|。」", {}},
        {"verb and auxiliary end the text", "名詞 猫|助詞 が|動詞 食べ|助動詞 た", {1, 7, 3}, "猫|が|食べた", {3}, "1023"},
        {"unknown inside run", "名詞 東京|未知語 x|名詞 大学|特殊 。", {1, 7}, "東京大学|。", {2}, "1110"},
    };
    for (const auto& c : cases) {
        sequencerClass seq;
        seq.Constructor();
        std::string states;
        for (const auto& [pos, surface] : words(c.words)) {
            seq.appendSequence(pos, surface);
            states += std::to_string(seq.myStatus);
        }
        EXPECT_TRUE(*c.states == '\0' || states == c.states) << c.name << ": " << states;
        seq.shuffleIt({}); // files the text's last unit, as if the input had ended there
        EXPECT_EQ(seq.myPart, c.parts) << c.name;
        EXPECT_EQ(replay(seq), split(c.units, '|')) << c.name;
        EXPECT_EQ(dynamic_cast<const DoshiJoshiClass&>(*seq.myMorpheme[1]).myPart, c.nounSubPools) << c.name;
    }
    EXPECT_EQ(messages, Texts{"予期しない形態素です: 未知語"});
}
// clang-format on

TEST_F(sequencerClassTest, CursorsMovedByHand) {
    auto seq = makeSequencer(words("助詞 x|副詞 a|副詞 b|助詞 y"));
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    seq->shuffleIt({0, -1, 8, std::numeric_limits<std::int32_t>::min(), kMax}); // names no pool
    std::string s;
    const auto calls = [&](int count) { // each call's text, or "-" where the replay ends
        std::string got;
        while (count-- > 0)
            got += (seq->getNextMorpheme(s) ? s : "-") + " ";
        return got;
    };
    for (std::int32_t bad : {-9, 4, kMax}) { // one unit in, then a cursor that names no unit
        seq->getNextMorpheme(s);
        seq->myPointer = bad;
        EXPECT_EQ(calls(6), "- x a b y - ") << bad;
    }
    // Set back after "x a": pool 6 runs dry while pool 7 stands after "x". That replay ends
    // without rewinding the pools, so the next one starts with pool 7's second text.
    calls(2);
    seq->myPointer = 0;
    EXPECT_EQ(calls(6), "b - y a b - ");
}

TEST_F(sequencerClassTest, EveryLoopIterationYieldsOnce) {
    int yields = 0;
    engine::hooks().yieldPoint = [&yields] { ++yields; };
    sequencerClass seq;
    std::string s;
    // Sub-pools: 3 nouns, 4 verb + particle, 4 verb + auxiliary, 6 verbs, 3 adjectives.
    seq.Constructor();
    EXPECT_EQ(std::exchange(yields, 0), 7 + 20) << "creating the pools";
    seq.shuffleIt({1, 2, 3, 4, 5});
    EXPECT_EQ(std::exchange(yields, 0), 5 + 2 + 3 + 3 + 5 + 2) << "reordering";
    seq.shuffleIt({6, 7});
    EXPECT_EQ(std::exchange(yields, 0), 2) << "reordering simple pools";
    seq.getNextMorpheme(s);
    EXPECT_EQ(std::exchange(yields, 0), 7 + 20) << "rewinding after a replay";
    for (const auto& [pos, surface] : words("名詞 東京|名詞 大学|助詞 は"))
        seq.appendSequence(pos, surface);
    EXPECT_EQ(yields, 4) << "the noun rule's character loop";
}

} // namespace
