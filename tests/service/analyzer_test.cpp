// MeCab with the UTF-8 IPADIC through Analyzer: the mapped parts of speech of the sentences the
// program's unit merging is built around, whitespace as words, and long texts cut in pieces.

#include "service/analyzer.h"
#include "tests/service/service_test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace orizume::service {
namespace {

testing::Pairs pairsOf(const std::vector<Word>& words) {
    testing::Pairs pairs;
    for (const Word& word : words) {
        pairs.emplace_back(std::string(word.partOfSpeech), word.surface);
    }
    return pairs;
}

class AnalyzerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { analyzer = std::make_unique<Analyzer>(ORIZUME_MECAB_DICDIR); }
    static void TearDownTestSuite() { analyzer.reset(); }
    static testing::Pairs analyze(std::string_view text) {
        return pairsOf(analyzer->analyze(text));
    }
    static std::unique_ptr<Analyzer> analyzer;
};
std::unique_ptr<Analyzer> AnalyzerTest::analyzer;

TEST_F(AnalyzerTest, MapsTheMergingExamplesAndGivesWhitespaceAsWords) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"私は東京大学に行きました。",
         "名詞 私|助詞 は|名詞 東京大学|助詞 に|動詞 行き|助動詞 まし|助動詞 た|特殊 。"},
        {"田中さんは勉強する。", "名詞 田中|接尾辞 さん|助詞 は|名詞 勉強|動詞 する|特殊 。"},
        {"雨さえ降った。", "名詞 雨|助詞 さえ|動詞 降っ|助動詞 た|特殊 。"},
        {"高いです。高かった。", "形容詞 高い|助動詞 です|特殊 。|形容詞 高かっ|助動詞 た|特殊 。"},
        // IPADIC splits 静かな into the adjectival-noun stem and the auxiliary な.
        {"食べて寝る。とても美しく静かな町。", "動詞 食べ|助詞 て|動詞 寝る|特殊 。|副詞 とても|"
         "形容詞 美しく|形容動詞 静か|助動詞 な|名詞 町|特殊 。"},
        {" 雨 ", "特殊  |名詞 雨|特殊  "},
        {"雨  雪", "名詞 雨|特殊  |特殊  |名詞 雪"},
        {"雨\t雪\n\n", "名詞 雨|特殊 \t|名詞 雪|特殊 \n|特殊 \n"},
        {"\n \t", "特殊 \n|特殊  |特殊 \t"},
        // MeCab takes the ideographic space for a symbol (記号,空白): one word, as typed.
        {"雨　雪", "名詞 雨|特殊 　|名詞 雪"},
    };
    // clang-format on
    for (const auto& [text, expected] : cases) {
        const std::vector<Word> words = analyzer->analyze(text);
        EXPECT_EQ(testing::listed(pairsOf(words)), expected) << ::testing::PrintToString(text);
        for (const Word& word : words) {
            if (word.surface == " " || word.surface == "\t" || word.surface == "\n") {
                EXPECT_EQ(word.reading, "") << ::testing::PrintToString(text);
            }
        }
    }
}

TEST_F(AnalyzerTest, LongTextsAreCutBetweenSentences) {
    const std::string sentence = "私は東京大学に行きました。";
    const testing::Pairs one = analyze(sentence);
    for (const std::string separator : {"\n", ""}) {
        std::string text;
        testing::Pairs expected;
        while (text.size() < 3 * Analyzer::pieceBytes) {
            text += sentence + separator;
            expected.insert(expected.end(), one.begin(), one.end());
            if (!separator.empty()) {
                expected.emplace_back("特殊", separator);
            }
        }
        EXPECT_EQ(analyze(text), expected) << "separator \"" << separator << '"';
    }
    // Neither line feed nor full stop: cut at a character boundary, nothing lost.
    std::string kana;
    while (kana.size() < 2 * Analyzer::pieceBytes + 1000) {
        kana += "あいうえお";
    }
    EXPECT_EQ(testing::joinSurfaces(analyze(kana)), kana);
}

TEST(Analyzer, MissingDictionaryIsReported) {
    try {
        const Analyzer analyzer("/nonexistent/dictionary");
        FAIL() << "a missing dictionary was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/dictionary"), std::string::npos)
            << e.what();
    }
}

} // namespace
} // namespace orizume::service
