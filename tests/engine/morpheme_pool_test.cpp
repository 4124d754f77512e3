#include "engine/morpheme_pool.h"
#include "engine_test_support.h"

#include <limits>

namespace {

using enginetest::replay;
using enginetest::Texts;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(morphemeClass, CursorsOutsideTheListJoinsAndDirectReads) {
    morphemeClass pool;
    pool.Constructor();
    pool.joinMorpheme("X"); // no last text: nothing happens
    pool.appendMorpheme("A");
    pool.appendMorpheme("B");
    pool.joinMorpheme("X");
    std::string s = "unchanged";
    for (std::int32_t cursor : {1, 7, kMax, -5, std::numeric_limits<std::int32_t>::min()}) {
        pool.setMyPointerAt(cursor);
        EXPECT_FALSE(pool.getNextMorpheme(s)) << cursor;
        EXPECT_EQ(replay(pool), (Texts{"A", "BX"})) << cursor;
    }
    EXPECT_FALSE(pool.getMorpher(-1, s) || pool.getMorpher(2, s) || s != "unchanged");
    EXPECT_TRUE(pool.getMorpher(1, s));
    EXPECT_EQ(s, "BX");
}

// A fresh composite pool: pool k (1 to 5) of a new sequencer, kept alive with it.
std::shared_ptr<DoshiJoshiClass> makeComposite(std::size_t k) {
    const std::shared_ptr<sequencerClass> seq = enginetest::makeSequencer({});
    return {seq, &dynamic_cast<DoshiJoshiClass&>(*seq->myMorpheme.at(k))};
}

TEST(DoshiJoshiClass, SubPoolRules) {
    struct Case {
        std::size_t pool; // 1 nouns, 2 verb + particle, 3 verb + auxiliaries, 4 verbs, 5 adjectives
        std::int32_t subPool;
        std::string texts; // joined by "|"; "@" stands for the noun marker, which is not stored
    };
    const auto afterStem = [](std::string_view kana) { // "書" and each kana: a two-character verb
        std::string texts;
        for (std::size_t i = 0; i < kana.size(); i += 3) // every kana here is three bytes
            texts += (i == 0 ? "書" : "|書") + std::string(kana.substr(i, 3));
        return texts;
    };
    // clang-format off
    const Case cases[] = {
        {2, 1, "食べて|読んで|て|見ようで"}, {2, 2, "ながら|見つつ"}, {2, 3, "食べるの|よう|食べてと"},
        {2, 4, "つ|見ようか|"}, {3, 1, "行きました。|行った.|。"}, {3, 2, "行った"}, {3, 3, "行ったら"},
        {3, 4, "ら|行った！|行った．|行きます|"},
        // The four rows; every other kana, voiced, small or katakana, falls through to 5.
        {4, 1, afterStem("あかさたなはまやらわ")}, {4, 2, afterStem("いきしちにひみり")},
        {4, 3, afterStem("うくすつぬふむる")}, {4, 4, afterStem("えけせてねへめれ")},
        {4, 5, afterStem("おこそとのほもよろをゆゐゑんっゃゅょぁぃぅぇぉゎがぎぐげござじずぜぞだ"
                         "ぢづでどばびぶべぼぱぴぷぺぽカキクケ") +
                   "|行き来||書\xe3\x81|\xed\xa0\x80|\xf0\x83\x81\x8b"}, // bad bytes count one each
        {4, 6, "し|来|\xff"}, {5, 1, "高い|い"}, {5, 2, "高く"}, {5, 3, "高かった|高けれ|"},
        {1, 1, "勉強@|犬@|a@b@"}, {1, 2, "東京|\u4E00\u4E01|東\u9F8D"},
        {1, 3, "犬|東\u9F8E|東\u9FA5|人々|東京タワー|2東京|a東京|東\xff|\xff||@|@@"},
    };
    // clang-format on
    for (const auto& c : cases) {
        for (std::string text : enginetest::split(c.texts, '|')) {
            std::string marked;
            for (const char ch : text)
                marked += ch == '@' ? std::string(nounMarker) : std::string(1, ch);
            auto pool = makeComposite(c.pool);
            pool->appendMorpheme(marked);
            std::erase(text, '@');
            EXPECT_EQ(pool->myPart, std::vector<std::int32_t>{c.subPool})
                << "pool " << c.pool << " " << marked;
            EXPECT_EQ(replay(*pool), Texts{text}) << "pool " << c.pool << " " << marked;
        }
    }
}

TEST(DoshiJoshiClass, CursorEdgeCases) {
    auto pool = makeComposite(2);
    const Texts all{"aて", "bの", "cて", "dx"};
    for (const auto& t : all)
        pool->appendMorpheme(t);
    // Cursor 1 reads the third entry (sub-pool 1) from where that sub-pool stands, until that
    // sub-pool is used up; then the replay ends with the cursor at -1.
    std::string s, got;
    for (int call = 0; call < 3; ++call) {
        pool->setMyPointerAt(1);
        got += pool->getNextMorpheme(s) ? s : "-";
        got += std::to_string(pool->myPointer) + " ";
    }
    EXPECT_EQ(got, "aて2 cて2 --1 ");
    pool->setMyPointerAt(-1); // rewinds the sub-pools too
    EXPECT_EQ(replay(*pool), all);
    for (std::int32_t bad : {-7, 4, kMax}) {
        pool->getNextMorpheme(s); // one text in: ending the replay must rewind the sub-pools
        pool->setMyPointerAt(bad);
        EXPECT_FALSE(pool->getNextMorpheme(s)) << bad;
        EXPECT_EQ(replay(*pool), all) << bad;
    }
}

} // namespace
