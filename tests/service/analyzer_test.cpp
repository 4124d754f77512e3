// MeCab with the UTF-8 IPADIC through Analyzer: the mapped parts of speech of the sentences the
// program's unit merging is built around, whitespace as words, and threads sharing one tagger.

#include "service/analyzer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace orizume::service {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>; // (part of speech, surface)

Pairs pairsOf(const std::vector<Word>& words) {
    Pairs pairs;
    for (const Word& word : words) {
        pairs.emplace_back(std::string(word.partOfSpeech), word.surface);
    }
    return pairs;
}

std::string joined(const std::vector<Word>& words) {
    std::string text;
    for (const Word& word : words) {
        text += word.surface;
    }
    return text;
}

class AnalyzerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { analyzer = std::make_unique<Analyzer>(ORIZUME_MECAB_DICDIR); }
    static void TearDownTestSuite() { analyzer.reset(); }
    static std::unique_ptr<Analyzer> analyzer;
};
std::unique_ptr<Analyzer> AnalyzerTest::analyzer;

TEST_F(AnalyzerTest, MapsTheMergingExamples) {
    struct Case {
        std::string text;
        Pairs expected;
    };
    const Case cases[] = {
        {"私は東京大学に行きました。",
         {{"名詞", "私"},
          {"助詞", "は"},
          {"名詞", "東京大学"},
          {"助詞", "に"},
          {"動詞", "行き"},
          {"助動詞", "まし"},
          {"助動詞", "た"},
          {"特殊", "。"}}},
        {"田中さんは勉強する。",
         {{"名詞", "田中"},
          {"接尾辞", "さん"},
          {"助詞", "は"},
          {"名詞", "勉強"},
          {"動詞", "する"},
          {"特殊", "。"}}},
        {"雨さえ降った。",
         {{"名詞", "雨"}, {"助詞", "さえ"}, {"動詞", "降っ"}, {"助動詞", "た"}, {"特殊", "。"}}},
        {"高いです。高かった。",
         {{"形容詞", "高い"},
          {"助動詞", "です"},
          {"特殊", "。"},
          {"形容詞", "高かっ"},
          {"助動詞", "た"},
          {"特殊", "。"}}},
        // IPADIC splits 静かな into the adjectival-noun stem and the auxiliary な.
        {"食べて寝る。とても美しく静かな町。",
         {{"動詞", "食べ"},
          {"助詞", "て"},
          {"動詞", "寝る"},
          {"特殊", "。"},
          {"副詞", "とても"},
          {"形容詞", "美しく"},
          {"形容動詞", "静か"},
          {"助動詞", "な"},
          {"名詞", "町"},
          {"特殊", "。"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pairsOf(analyzer->analyze(c.text)), c.expected) << c.text;
    }
}

TEST_F(AnalyzerTest, WhitespaceComesBackAsWordsOfItsOwn) {
    struct Case {
        const char* name;
        std::string text;
        Pairs expected;
    };
    const Case cases[] = {
        {"leading and trailing", " 雨 ", {{"特殊", " "}, {"名詞", "雨"}, {"特殊", " "}}},
        {"run of spaces", "雨  雪", {{"名詞", "雨"}, {"特殊", " "}, {"特殊", " "}, {"名詞", "雪"}}},
        {"tab and line feeds",
         "雨\t雪\n\n",
         {{"名詞", "雨"}, {"特殊", "\t"}, {"名詞", "雪"}, {"特殊", "\n"}, {"特殊", "\n"}}},
        {"only whitespace", "\n \t", {{"特殊", "\n"}, {"特殊", " "}, {"特殊", "\t"}}},
        // MeCab takes the ideographic space for a symbol (記号,空白): one word, as typed.
        {"ideographic space", "雨　雪", {{"名詞", "雨"}, {"特殊", "　"}, {"名詞", "雪"}}},
    };
    for (const Case& c : cases) {
        const std::vector<Word> words = analyzer->analyze(c.text);
        EXPECT_EQ(pairsOf(words), c.expected) << c.name;
        for (const Word& word : words) {
            if (word.surface == " " || word.surface == "\t" || word.surface == "\n") {
                EXPECT_EQ(word.reading, "") << c.name;
            }
        }
    }
}

TEST_F(AnalyzerTest, LongTextsAreCutBetweenSentences) {
    const std::string sentence = "私は東京大学に行きました。";
    const Pairs one = pairsOf(analyzer->analyze(sentence));
    struct Case {
        const char* name;
        std::string separator;
    };
    for (const Case& c : {Case{"lines", "\n"}, Case{"one line of sentences", ""}}) {
        std::string text;
        Pairs expected;
        while (text.size() < 3 * Analyzer::pieceBytes) {
            text += sentence + c.separator;
            expected.insert(expected.end(), one.begin(), one.end());
            if (!c.separator.empty()) {
                expected.emplace_back("特殊", c.separator);
            }
        }
        EXPECT_EQ(pairsOf(analyzer->analyze(text)), expected) << c.name;
    }
    // Neither line feed nor full stop: cut at a character boundary, nothing lost.
    std::string kana;
    while (kana.size() < 2 * Analyzer::pieceBytes + 1000) {
        kana += "あいうえお";
    }
    EXPECT_EQ(joined(analyzer->analyze(kana)), kana);
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
