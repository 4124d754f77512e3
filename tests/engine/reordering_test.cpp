// Random word lists against a model of the merging and filing rules kept apart from the engine:
// before any reordering the replay gives the model's units; a reordering moves a unit only among
// those of its own pool and sub-pool, and only in the pools it names and sub-pools not kept in
// order.

#include "engine/text_chars.h"
#include "engine_test_support.h"

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>

namespace {

using namespace enginetest;

// clang-format off
const std::map<std::string, std::int32_t> kCodes = {
    {"形容詞", 1}, {"形容動詞", 2}, {"感動詞", 3}, {"副詞", 4}, {"連体詞", 5}, {"接続詞", 6},
    {"接頭辞", 7}, {"接尾辞", 8}, {"名詞", 9}, {"動詞", 10}, {"助詞", 11}, {"助動詞", 12}, {"特殊", 13}};

int subPoolOf(int pool, const std::string& text, bool marked) {
    const std::u32string c = engine::codePoints(text);
    const auto in = [&c](std::u32string_view s) { return !c.empty() && s.find(c.back()) != s.npos; };
    const auto ideograph = [](char32_t x) { return x >= 0x4E00 && x <= 0x9F8D; };
    switch (pool) {
    case 1: return marked ? 1 : c.size() > 1 && std::ranges::all_of(c, ideograph) ? 2 : 3;
    case 2: return in(U"てで") ? 1 : c.ends_with(U"ながら") || c.ends_with(U"つつ") ? 2
                 : in(U"のと") || c.ends_with(U"よう") ? 3 : 4;
    case 3: return in(U"。.") ? 1 : in(U"た") ? 2 : c.ends_with(U"たら") ? 3 : 4;
    case 4: return c.size() == 1 ? 6 : in(U"あかさたなはまやらわ") ? 1 : in(U"いきしちにひみり") ? 2
                 : in(U"うくすつぬふむる") ? 3 : in(U"えけせてねへめれ") ? 4 : 5;
    case 5: return in(U"い") ? 1 : in(U"く") ? 2 : 3;
    default: return 0;
    }
}

// The units of a word list, and where each is filed: 10 * pool + sub-pool (0 in pools 6 and 7).
struct Model { Texts texts; std::vector<int> keys; };
Model modelUnits(const std::vector<Word>& words) {
    Model units;
    std::string run;
    int open = 0; // where the pending run goes: 1 nouns, 3 verb + auxiliaries, 4 verb, 5 adjective
    const auto file = [&](const std::string& text, int pool, bool marked) {
        units.texts.push_back(text);
        units.keys.push_back(10 * pool + subPoolOf(pool, text, marked));
        run.clear();
        open = 0;
    };
    for (const auto& [pos, s] : words) {
        if (!kCodes.contains(pos))
            continue; // refused with a message
        const int code = kCodes.at(pos);
        const int joinsInto = open == 1 && code == 8 ? 1 : open == 4 && code == 11 ? 2
                            : open == 3 && (s == "。" || s == ".") ? 3
                            : open == 5 && code == 12 && s != "です" ? 5 : open == 5 && code == 2 ? 7 : 0;
        if ((open == 1 && code == 9) || ((open == 3 || open == 4) && code == 12)) {
            run += s;
            open = open == 1 ? 1 : 3;
        } else if (joinsInto != 0) {
            file(run + s, joinsInto, false);
        } else {
            if (open != 0)
                file(run, open, open == 1 && (s.find("でき") != s.npos ||
                    std::ranges::any_of(std::array{"さ", "し", "す", "せ", "そ"},
                                        [&s](const char* kana) { return s.starts_with(kana); })));
            run = s;
            open = code == 9 ? 1 : code == 10 ? 4 : code == 1 ? 5 : 0;
            if (open == 0)
                file(s, code == 4 ? 6 : 7, false);
        }
    }
    if (open != 0)
        file(run, open, false);
    return units;
}

const std::vector<Word> kVocabulary = words(
    "名詞 東京|名詞 大学|名詞 人々|名詞 犬|名詞 勉強|名詞 料理|接尾辞 さん|接尾辞 たち|動詞 行か|動詞 読ま|"
    "動詞 書き|動詞 飲み|動詞 書く|動詞 する|動詞 できる|動詞 書け|動詞 見せ|動詞 泳ぐ|動詞 行っ|動詞 来|動詞 見|"
    "助詞 て|助詞 で|助詞 ながら|助詞 つつ|助詞 の|助詞 と|助詞 は|助詞 さえ|助動詞 た|助動詞 たら|"
    "助動詞 ます|助動詞 です|助動詞 。|形容詞 高い|形容詞 赤い|形容詞 美しく|形容詞 高く|形容詞 高かっ|"
    "形容動詞 静かな|副詞 とても|副詞 すぐ|特殊 。|特殊 .|特殊 \n|特殊 |接続詞 そして|連体詞 この|"
    "接頭辞 お|感動詞 えっ|未知語 ?");
// clang-format on

TEST_F(sequencerClassTest, ReorderingMovesUnitsOnlyWithinTheirNamedPoolAndSubPool) {
    EXPECT_EQ(makeSequencer({})->morphDictionary, kCodes);
    const std::vector<std::int32_t> lists[] = {{1, 2, 3, 4, 5}, {6, 7}, {}};
    const std::set<int> keptInOrder = {13, 24, 34, 46, 53};
    std::set<int> moved; // sub-pools whose first place ever took another text
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 pick(seed);
        std::vector<Word> text(1 + pick() % 300);
        std::ranges::generate(text, [&pick] { return kVocabulary[pick() % kVocabulary.size()]; });
        engine::seedRandom(seed);
        auto seq = makeSequencer(text);
        const auto [texts, keys] = modelUnits(text);
        Texts before = replay(*seq);
        ASSERT_EQ(before, texts) << "seed " << seed;
        for (int round = 0; round < 6; ++round) {
            const auto& list = lists[round % 3];
            seq->shuffleIt(list);
            const Texts after = replay(*seq);
            ASSERT_EQ(after.size(), keys.size()) << "seed " << seed;
            std::map<int, std::multiset<std::string>> want, got;
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const bool kept =
                    std::ranges::count(list, keys[i] / 10) == 0 || keptInOrder.contains(keys[i]);
                ASSERT_TRUE(!kept || after[i] == before[i])
                    << "seed " << seed << " round " << round << " unit " << i;
                if (!got.contains(keys[i]) && after[i] != before[i])
                    moved.insert(keys[i]);
                want[keys[i]].insert(texts[i]);
                got[keys[i]].insert(after[i]);
            }
            ASSERT_EQ(got, want) << "seed " << seed << " round " << round;
            before = after;
        }
    }
    EXPECT_EQ(moved,
              (std::set<int>{11, 12, 21, 22, 23, 31, 32, 33, 41, 42, 43, 44, 45, 51, 52, 60, 70}));
}

} // namespace
