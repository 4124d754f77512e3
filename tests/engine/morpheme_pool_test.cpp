#include "engine/morpheme_pool.h"
#include "engine_test_support.h"

#include <limits>

namespace {

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
        EXPECT_EQ(enginetest::replay(pool), (std::vector<std::string>{"A", "B"})) << cursor;
    }
}

TEST(morphemeClass, OperationsThatNothingCallsStayInsideTheList) {
    morphemeClass pool;
    pool.Constructor();
    pool.joinMorpheme("X"); // no last text: nothing happens
    pool.appendMorpheme("A");
    std::string s;
    ASSERT_TRUE(pool.getNextMorpheme(s));
    pool.appendMorpheme("B"); // the upper bound is read at every call
    ASSERT_TRUE(pool.getNextMorpheme(s));
    EXPECT_EQ(s, "B");
    pool.joinMorpheme("X");
    EXPECT_EQ(pool.myMorpheme, (std::vector<std::string>{"A", "BX"}));
    std::string unread = "x";
    EXPECT_FALSE(pool.getMorpher(-1, unread));
    EXPECT_FALSE(pool.getMorpher(2, unread));
    EXPECT_EQ(unread, "x");
}

std::unique_ptr<DoshiJoshiClass> makeComposite(const std::string& kind) {
    std::unique_ptr<DoshiJoshiClass> pool;
    if (kind == "DoshiJoshi")
        pool = std::make_unique<DoshiJoshiClass>();
    else if (kind == "DoshiJodoshi")
        pool = std::make_unique<DoshiJodoshiClass>();
    else if (kind == "Doshi")
        pool = std::make_unique<DoshiClass>();
    else if (kind == "Keiyoshi")
        pool = std::make_unique<KeiyoshiClass>();
    else
        pool = std::make_unique<MeishiClass>();
    pool->Constructor();
    return pool;
}

TEST(DoshiJoshiClass, SubPoolRules) {
    struct Case {
        const char* kind;
        std::int32_t subPool;
        const char* texts; // joined by "|"
    };
    // clang-format off
    const Case cases[] = {
        {"DoshiJoshi", 1, "食べて|読んで|て|見ようで"},
        {"DoshiJoshi", 2, "ながら|見つつ"},
        {"DoshiJoshi", 3, "食べるの|よう|食べてと"},
        {"DoshiJoshi", 4, "つ|見ようか|"},
        {"DoshiJodoshi", 1, "行きました。|行った.|。"},
        {"DoshiJodoshi", 2, "行った"},
        {"DoshiJodoshi", 3, "行ったら"},
        {"DoshiJodoshi", 4, "ら|行った！|行った．|行きます|"},
        {"Doshi", 1, "行か|燃や|言わ"},
        {"Doshi", 2, "書き"},
        {"Doshi", 3, "書く"},
        {"Doshi", 4, "書け"},
        {"Doshi", 5, "泳ぐ|行こ|行っ|死ん|燃ゆ|書カ||書\xe3\x81"},
        {"Doshi", 6, "し|来|\xff"}, // one invalid byte is one character
        {"Keiyoshi", 1, "高い|い"},
        {"Keiyoshi", 2, "高く"},
        {"Keiyoshi", 3, "高かった|高けれ|"},
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
            EXPECT_EQ(enginetest::replay(*pool), std::vector<std::string>{text})
                << c.kind << " \"" << text << "\"";
        }
    }
}

TEST(DoshiJoshiClass, ReordersExactlyItsNamedSubPools) {
    struct Case {
        const char* kind;
        std::vector<std::string> endings; // appended to a one-ideograph stem, one per sub-pool
        std::size_t reordered;            // sub-pools 1 to this are reordered
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
        const auto order = [&pool](std::size_t k) {
            return dynamic_cast<const morphemeClass&>(*pool->mySubMorpheme[k]).myMorpheme;
        };
        std::vector<std::vector<std::string>> before;
        for (std::size_t k = 1; k <= c.endings.size(); ++k) {
            ASSERT_EQ(order(k).size(), 8U) << c.kind << " sub-pool " << k;
            before.push_back(order(k));
        }
        std::vector<bool> moved(c.endings.size());
        for (int round = 0; round < 3; ++round) {
            pool->shuffleMorphs();
            for (std::size_t k = 1; k <= c.endings.size(); ++k)
                moved[k - 1] = moved[k - 1] || order(k) != before[k - 1];
        }
        for (std::size_t k = 1; k <= c.endings.size(); ++k)
            EXPECT_EQ(moved[k - 1], k <= c.reordered) << c.kind << " sub-pool " << k;
    }
}

TEST(MeishiClass, MarkerIsRemovedAndTheNounFiledApart) {
    const std::string m(nounMarker);
    struct Case {
        std::string text;
        std::int32_t subPool;
        std::string stored;
    };
    const Case cases[] = {{"勉強" + m, 1, "勉強"},
                          {"雨" + m, 1, "雨"},
                          {"a" + m + "b" + m, 1, "ab"},
                          // Nothing left: no marked noun to trade places with.
                          {m, 3, ""},
                          {m + m, 3, ""}};
    for (const auto& c : cases) {
        auto pool = makeComposite("Meishi");
        pool->appendMorpheme(c.text);
        EXPECT_EQ(pool->myPart, std::vector<std::int32_t>{c.subPool}) << c.text;
        EXPECT_EQ(enginetest::replay(*pool), std::vector<std::string>{c.stored}) << c.text;
    }
}

TEST(DoshiJoshiClass, CursorEdgeCases) {
    auto pool = makeComposite("DoshiJoshi");
    for (const char* t : {"aて", "bの", "cて", "dx"})
        pool->appendMorpheme(t);
    // Cursor 1 reads the third entry (sub-pool 1) from where that sub-pool stands.
    std::string s;
    pool->setMyPointerAt(1);
    ASSERT_TRUE(pool->getNextMorpheme(s));
    EXPECT_EQ(s, "aて");
    pool->setMyPointerAt(1);
    ASSERT_TRUE(pool->getNextMorpheme(s));
    EXPECT_EQ(s, "cて");
    pool->setMyPointerAt(1); // sub-pool 1 is used up: the pool says so
    EXPECT_FALSE(pool->getNextMorpheme(s));
    EXPECT_EQ(pool->myPointer, -1);
    pool->setMyPointerAt(-1); // rewinds the sub-pools too
    const std::vector<std::string> all{"aて", "bの", "cて", "dx"};
    EXPECT_EQ(enginetest::replay(*pool), all);
    for (std::int32_t bad : {-7, 4, kMax}) {
        pool->setMyPointerAt(bad);
        EXPECT_FALSE(pool->getNextMorpheme(s)) << bad;
        EXPECT_EQ(enginetest::replay(*pool), all) << bad;
    }
}

} // namespace
