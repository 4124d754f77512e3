#include "engine/sequencer.h"
#include "engine_test_support.h"

#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <utility>

namespace {

using namespace enginetest;
using Parts = std::vector<std::int32_t>;
using Units = std::vector<std::string>;

class sequencerClassTest : public enginetest::EngineTest {};

// Words are "pos surface" joined by "|"; units are joined by "|".
struct MergeCase {
    const char* name;
    const char* words;
    Parts parts;
    const char* units;
    Parts nounSubPools; // the noun pool's record: 1 = marked, 2 = ideographs, 3 = other
};

void checkMerging(const MergeCase& c) {
    auto seq = makeSequencer(words(c.words));
    EXPECT_EQ(replay(*seq), split(c.units, '|')) << c.name;
    EXPECT_EQ(seq->myPart, c.parts) << c.name;
    EXPECT_EQ(subParts(*seq, 1), c.nounSubPools) << c.name;
}

// clang-format off
TEST_F(sequencerClassTest, WorkedExamples) {
    const MergeCase cases[] = {
        {"example 1", "名詞 私|助詞 は|名詞 東京|名詞 大学|助詞 に|動詞 行き|助動詞 まし|助動詞 た|特殊 。",
         {1, 7, 1, 7, 3}, "私|は|東京大学|に|行きました。", {3, 2}},
        {"example 2", "名詞 田中|接尾辞 さん|助詞 は|名詞 勉強|動詞 する|特殊 。",
         {1, 7, 1, 4, 7}, "田中さん|は|勉強|する|。", {3, 1}},
        {"example 3", "名詞 雨|助詞 さえ|動詞 降っ|助動詞 た|特殊 。", {1, 7, 3}, "雨|さえ|降った。", {1}},
        {"example 4", "形容詞 高い|助動詞 です|特殊 。|形容詞 高かっ|助動詞 た|特殊 。",
         {5, 7, 7, 5, 7}, "高い|です|。|高かった|。", {}},
        {"example 5", "動詞 食べ|助詞 て|動詞 寝る|特殊 。|副詞 とても|形容詞 美しく|形容動詞 静かな|名詞 町|特殊 。",
         {2, 4, 7, 6, 7, 1, 7}, "食べて|寝る|。|とても|美しく静かな|町|。", {3}},
    };
    for (const auto& c : cases)
        checkMerging(c);
    EXPECT_TRUE(messages.empty());
}

TEST_F(sequencerClassTest, MergeRules) {
    const MergeCase cases[] = {
        {"suffix with さ: no marker", "名詞 東京|接尾辞 さま", {1}, "東京さま", {3}},
        {"でき inside marks", "名詞 料理|動詞 ができる", {1, 4}, "料理|ができる", {1}},
        {"出来る: no marker", "名詞 料理|動詞 出来る", {1, 4}, "料理|出来る", {2}},
        {"conjunction そして marks", "名詞 東京|接続詞 そして", {1, 7}, "東京|そして", {1}},
        {"empty surface: no marker", "名詞 東京|特殊 ", {1, 7}, "東京|", {2}},
        {"す later in the surface: no marker", "名詞 先生|動詞 います", {1, 4}, "先生|います", {2}},
        {"stop of any part of speech joins", "動詞 行っ|助動詞 た|名詞 。", {3}, "行った。", {}},
        {"stop and more text", "動詞 行っ|助動詞 た|特殊 。」", {3, 7}, "行った|。」", {}},
        {"ASCII stop joins", "動詞 行っ|助動詞 た|記号 x|特殊 .", {3}, "行った.", {}},
        {"stop after lone verb", "動詞 行く|特殊 。", {4, 7}, "行く|。", {}},
        {"second particle", "動詞 食べ|助詞 て|助詞 も", {2, 7}, "食べて|も", {}},
        {"adverb after noun", "名詞 今日|副詞 とても", {1, 6}, "今日|とても", {2}},
        {"prefix, then noun", "接頭辞 お|名詞 茶", {7, 1}, "お|茶", {3}},
        {"verb after verb", "動詞 走り|動詞 出す|特殊 。", {4, 4, 7}, "走り|出す|。", {}},
        {"adjective + noun", "形容詞 高い|名詞 山|特殊 。", {5, 1, 7}, "高い|山|。", {3}},
        {"unknown inside run", "名詞 東京|未知語 x|名詞 大学|特殊 。", {1, 7}, "東京大学|。", {2}},
        // The text's last unit is filed as if the input had ended there.
        {"ends in noun run", "名詞 東京|名詞 大学", {1}, "東京大学", {2}},
        {"ends in verb", "名詞 雨|動詞 降る", {1, 4}, "雨|降る", {3}},
        {"ends in verb + aux", "動詞 降っ|助動詞 た|助動詞 らしい", {3}, "降ったらしい", {}},
        {"ends in adjective", "副詞 とても|形容詞 高い", {6, 5}, "とても|高い", {}},
    };
    for (const auto& c : cases)
        checkMerging(c);
    EXPECT_EQ(messages, (Units{"予期しない形態素です: 記号", "予期しない形態素です: 未知語"}));
}
// clang-format on

TEST_F(sequencerClassTest, PendingUnitIsFiledBeforeTheFirstReordering) {
    auto seq = makeSequencer(words("動詞 書く|副詞 まず|動詞 読む"));
    seq->shuffleIt({1, 2, 3, 4, 5});
    EXPECT_EQ(seq->myPart, (Parts{4, 6, 4}));
    EXPECT_EQ(replay(*seq).size(), 3U);
}

TEST_F(sequencerClassTest, CursorAndPoolNumbersThatNameNothingAreHarmless) {
    auto seq = makeSequencer(words("名詞 東京|副詞 a|名詞 大阪|副詞 b"));
    const Units units = replay(*seq);
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    seq->shuffleIt({0, -1, 8, std::numeric_limits<std::int32_t>::min(), kMax});
    std::string s;
    for (std::int32_t bad : {-9, 4, kMax}) {
        seq->myPointer = bad;
        EXPECT_FALSE(seq->getNextMorpheme(s)) << bad;
        EXPECT_EQ(replay(*seq), units) << bad;
    }
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

// --- invariants over random word lists -------------------------------------

// clang-format off
const std::vector<Word> kVocabulary = words(
    "名詞 東京|名詞 大学|名詞 人々|名詞 犬|名詞 勉強|動詞 行き|動詞 書く|動詞 来|動詞 泳ぐ|動詞 する|"
    "動詞 書け|助詞 は|助詞 て|助詞 ながら|助詞 の|助詞 さえ|助動詞 た|助動詞 ます|助動詞 たら|"
    "助動詞 です|形容詞 高い|形容詞 美しく|形容詞 高かっ|形容動詞 静かな|副詞 とても|副詞 すぐ|"
    "接尾辞 さん|接頭辞 お|特殊 。|特殊 .|特殊 \n|接続詞 そして|連体詞 この|未知語 ?");
// clang-format on

// Each unit stays in its pool and sub-pool, nothing is lost or added; pools 6 and 7 and the
// last sub-pool of each composite pool keep their order.
TEST_F(sequencerClassTest, ReorderingKeepsEveryUnitInItsPoolAndSubPool) {
    const std::map<std::int32_t, std::int32_t> keptSubPool = {
        {1, 3}, {2, 4}, {3, 4}, {4, 6}, {5, 3}};
    bool anyMoved = false;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 pick(seed);
        std::vector<Word> words(1 + pick() % 300);
        std::string expected;
        for (auto& w : words) {
            w = kVocabulary[pick() % kVocabulary.size()];
            expected += w.first == "未知語" ? "" : w.second;
        }
        engine::seedRandom(seed);
        auto seq = makeSequencer(words);
        const Units original = replay(*seq);
        ASSERT_EQ(std::accumulate(original.begin(), original.end(), std::string()), expected)
            << "seed " << seed;
        std::map<std::int32_t, std::size_t> seen;
        std::vector<std::pair<std::int32_t, std::int32_t>> slots; // pool, sub-pool of a position
        for (const std::int32_t pool : seq->myPart)
            slots.emplace_back(pool, pool <= 5 ? subParts(*seq, pool)[seen[pool]++] : 0);
        ASSERT_EQ(slots.size(), original.size()) << "seed " << seed;
        std::map<std::pair<std::int32_t, std::int32_t>, std::multiset<std::string>> bySlot, got;
        for (std::size_t i = 0; i < slots.size(); ++i)
            bySlot[slots[i]].insert(original[i]);

        for (int round = 0; round < 5; ++round) {
            seq->shuffleIt({1, 2, 3, 4, 5});
            const Units shuffled = replay(*seq);
            ASSERT_EQ(shuffled.size(), original.size()) << "seed " << seed;
            got.clear();
            for (std::size_t i = 0; i < slots.size(); ++i) {
                got[slots[i]].insert(shuffled[i]);
                const auto [pool, sub] = slots[i];
                if (pool >= 6 || keptSubPool.at(pool) == sub) {
                    ASSERT_EQ(shuffled[i], original[i]) << "seed " << seed << " position " << i;
                }
            }
            ASSERT_EQ(got, bySlot) << "seed " << seed << " round " << round;
            anyMoved = anyMoved || shuffled != original;
        }
    }
    EXPECT_TRUE(anyMoved) << "no reordering ever changed the text";
}

} // namespace
