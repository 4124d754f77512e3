#include "engine/morpheme_pool.h"
#include "engine_test_support.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace {

using enginetest::replay;
using Texts = std::vector<std::string>;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(morphemeClass, CursorOutsideTheListEndsTheReplayWithoutReadingIt) {
    for (std::int32_t cursor : {1, 7, kMax, -5, std::numeric_limits<std::int32_t>::min()}) {
        morphemeClass pool;
        pool.Constructor();
        pool.appendMorpheme("A");
        pool.appendMorpheme("B");
        pool.setMyPointerAt(cursor);
        std::string s = "unchanged";
        EXPECT_FALSE(pool.getNextMorpheme(s)) << cursor;
        EXPECT_EQ(s, "unchanged") << cursor;
        EXPECT_EQ(replay(pool), (Texts{"A", "B"})) << cursor;
    }
}

TEST(morphemeClass, JoinAndDirectReadsStayInsideTheList) {
    morphemeClass pool;
    pool.Constructor();
    pool.joinMorpheme("X"); // no last text: nothing happens
    pool.appendMorpheme("A");
    pool.joinMorpheme("X");
    std::string s = "x";
    EXPECT_FALSE(pool.getMorpher(-1, s) || pool.getMorpher(1, s) || s != "x");
    EXPECT_TRUE(pool.getMorpher(0, s));
    EXPECT_EQ(s, "AX");
}

// A fresh composite pool: pools 1 to 5 of a new sequencer, kept alive with it.
std::shared_ptr<DoshiJoshiClass> makeComposite(std::string_view kind) {
    constexpr std::string_view kinds[] = {"",      "Meishi",  "DoshiJoshi", "DoshiJodoshi",
                                          "Doshi", "Keiyoshi"};
    const std::shared_ptr<sequencerClass> seq = enginetest::makeSequencer({});
    const auto k = std::find(std::begin(kinds), std::end(kinds), kind) - std::begin(kinds);
    return {seq, &dynamic_cast<DoshiJoshiClass&>(*seq->myMorpheme.at(k))};
}

TEST(DoshiJoshiClass, SubPoolRules) {
    struct Case {
        const char* kind;
        std::int32_t subPool;
        const char* texts; // joined by "|"
    };
    // clang-format off
    const Case cases[] = {
        {"DoshiJoshi", 1, "食べて|読んで|て|見ようで"}, {"DoshiJoshi", 2, "ながら|見つつ"},
        {"DoshiJoshi", 3, "食べるの|よう|食べてと"}, {"DoshiJoshi", 4, "つ|見ようか|"},
        {"DoshiJodoshi", 1, "行きました。|行った.|。"}, {"DoshiJodoshi", 2, "行った"},
        {"DoshiJodoshi", 3, "行ったら"}, {"DoshiJodoshi", 4, "ら|行った！|行った．|行きます|"},
        {"Doshi", 1, "行か|燃や|言わ"}, {"Doshi", 2, "書き"}, {"Doshi", 3, "書く"}, {"Doshi", 4, "書け"},
        {"Doshi", 5, "泳ぐ|行こ|行っ|死ん|燃ゆ|書カ||書\xe3\x81"},
        {"Doshi", 6, "し|来|\xff"}, // one invalid byte is one character
        {"Keiyoshi", 1, "高い|い"}, {"Keiyoshi", 2, "高く"}, {"Keiyoshi", 3, "高かった|高けれ|"},
        {"Meishi", 2, "東京|\u4E00\u4E01|東\u9F8D"},
        {"Meishi", 3, "犬|東\u9F8E|東\u9FA5|人々|東京タワー|東京2|東京a|東\xff|\xff|"},
    };
    // clang-format on
    for (const auto& c : cases) {
        for (const auto& text : enginetest::split(c.texts, '|')) {
            auto pool = makeComposite(c.kind);
            pool->appendMorpheme(text);
            EXPECT_EQ(pool->myPart, std::vector<std::int32_t>{c.subPool})
                << c.kind << " \"" << text << "\"";
            EXPECT_EQ(replay(*pool), Texts{text}) << c.kind << " \"" << text << "\"";
        }
    }
}

TEST(MeishiClass, MarkerIsRemovedAndTheNounFiledApart) {
    const std::string m(nounMarker);
    // Nothing left after the marker: no marked noun to trade places with.
    const std::tuple<std::string, std::int32_t, std::string> cases[] = {
        {"勉強" + m, 1, "勉強"}, {"a" + m + "b" + m, 1, "ab"}, {m, 3, ""}, {m + m, 3, ""}};
    for (const auto& [text, subPool, stored] : cases) {
        auto pool = makeComposite("Meishi");
        pool->appendMorpheme(text);
        EXPECT_EQ(pool->myPart, std::vector<std::int32_t>{subPool}) << text;
        EXPECT_EQ(replay(*pool), Texts{stored}) << text;
    }
}

TEST(DoshiJoshiClass, ReordersExactlyItsNamedSubPools) {
    struct Case {
        const char* kind;
        Texts endings;         // appended to a one-ideograph stem, one per sub-pool
        std::size_t reordered; // sub-pools 1 to this are reordered
    };
    const Case cases[] = {
        {"DoshiJoshi", {"て", "ながら", "の", "x"}, 3},
        {"DoshiJodoshi", {"。", "た", "たら", "x"}, 3},
        {"Doshi", {"か", "き", "く", "け", "x", ""}, 5},
        {"Keiyoshi", {"い", "く", "x"}, 2},
        {"Meishi", {std::string(nounMarker), "人", "x"}, 2},
    };
    engine::seedRandom(7);
    for (const auto& c : cases) {
        auto pool = makeComposite(c.kind);
        for (const char* stem : {"一", "二", "三", "四", "五", "六", "七", "八"})
            for (const auto& ending : c.endings)
                pool->appendMorpheme(stem + ending);
        for (std::size_t k = 1; k <= c.endings.size(); ++k) {
            const auto& sub = dynamic_cast<const morphemeClass&>(*pool->mySubMorpheme[k]);
            const Texts before = sub.myMorpheme;
            ASSERT_EQ(before.size(), 8U) << c.kind << " sub-pool " << k;
            bool moved = false;
            for (int round = 0; round < 3; ++round) {
                pool->shuffleMorphs();
                moved = moved || sub.myMorpheme != before;
            }
            EXPECT_EQ(moved, k <= c.reordered) << c.kind << " sub-pool " << k;
        }
    }
}

TEST(DoshiJoshiClass, CursorEdgeCases) {
    auto pool = makeComposite("DoshiJoshi");
    const Texts all{"aて", "bの", "cて", "dx"};
    for (const auto& t : all)
        pool->appendMorpheme(t);
    // Cursor 1 reads the third entry (sub-pool 1) from where that sub-pool stands.
    std::string s;
    for (const char* expected : {"aて", "cて"}) {
        pool->setMyPointerAt(1);
        ASSERT_TRUE(pool->getNextMorpheme(s));
        EXPECT_EQ(s, expected);
    }
    pool->setMyPointerAt(1); // sub-pool 1 is used up: the pool says so
    EXPECT_FALSE(pool->getNextMorpheme(s));
    EXPECT_EQ(pool->myPointer, -1);
    pool->setMyPointerAt(-1); // rewinds the sub-pools too
    EXPECT_EQ(replay(*pool), all);
    for (std::int32_t bad : {-7, 4, kMax}) {
        pool->setMyPointerAt(bad);
        EXPECT_FALSE(pool->getNextMorpheme(s)) << bad;
        EXPECT_EQ(replay(*pool), all) << bad;
    }
}

} // namespace
