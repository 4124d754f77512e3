// MeCab with the UTF-8 IPADIC through Analyzer: the mapped parts of speech of the sentences the
// program's unit merging is built around, whitespace as words, long texts cut in pieces and long
// runs of one character class cut short.

#include "service/analysis_reply.h"
#include "service/analyzer.h"
#include "service/reply_writer.h"
#include "service/utf8.h"
#include "tests/service/service_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <latch>
#include <stdexcept>
#include <thread>
#include <vector>

namespace orizume::service {
namespace {

testing::Pairs pairsOf(const WordList& words) {
    testing::Pairs pairs;
    words.forEach([&pairs](const WordList::Word& word) {
        pairs.emplace_back(word.partOfSpeech, word.surface);
    });
    return pairs;
}

class AnalyzerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { analyzer = std::make_unique<Analyzer>(ORIZUME_MECAB_DICDIR); }
    static void TearDownTestSuite() { analyzer.reset(); }
    // The text is handed over as a view of a buffer with nothing after it, not even a NUL.
    static testing::Pairs analyze(std::string_view text) {
        const auto buffer = std::make_unique<char[]>(text.size());
        std::memcpy(buffer.get(), text.data(), text.size());
        return pairsOf(analyzer->analyze(std::string_view(buffer.get(), text.size())));
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
        EXPECT_EQ(testing::listed(pairsOf(analyzer->analyze(text))), expected)
            << ::testing::PrintToString(text);
    }
    // Readings: the dictionary's katakana; none for whitespace; the surface for a word the
    // dictionary does not know.
    const std::pair<std::string, std::string> readings[] = {
        {"雨さえ降った。", "アメ|サエ|フッ|タ|。"},
        {" 雨\t雪\n", "|アメ||ユキ|"},
        {"Orizumeはｘｙｚ", "Orizume|ハ|ｘｙｚ"},
    };
    for (const auto& [text, expected] : readings) {
        std::string listed;
        analyzer->analyze(text).forEach(
            [&listed](const WordList::Word& word) { listed += std::string(word.reading) + "|"; });
        EXPECT_EQ(listed, expected + "|") << ::testing::PrintToString(text);
    }
}

TEST_F(AnalyzerTest, LongTextsAreCutBetweenSentences) {
    // A piece that ends in a line feed, followed by more text, handed to MeCab without a NUL of
    // its own: MeCab reads on to the end of the buffer (and writes past its lattice).
    const std::string sentence = "東京大学に行きました。";
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
    // Neither line feed nor full stop: cut at a character boundary, nothing lost. Hiragana runs
    // are cut first; hiragana and katakana in turn make no run, and a piece's length is no
    // multiple of three.
    for (const std::string unit : {"あいうえお", "あア"}) {
        std::string text;
        while (text.size() < 3 * Analyzer::pieceBytes) {
            text += unit;
        }
        const testing::Pairs words = analyze(text);
        EXPECT_EQ(testing::joinSurfaces(words), text) << unit;
        EXPECT_TRUE(std::all_of(words.begin(), words.end(), [](const auto& word) {
            return isValidUtf8(word.second);
        })) << unit;
    }
}

TEST_F(AnalyzerTest, LongRunsOfOneClassComeBackWholeAndFast) {
    // MeCab scans a run of one class to its end from every position: 64 KiB of "a" took five
    // seconds before such runs were cut. Whitespace runs must come back as words, character for
    // character, and no cut may split a character.
    for (const std::string unit : {"a", "1", "!", "ア", "ａ", "漢", "あ", "😀", " ", "\n", " a"}) {
        std::string text;
        while (text.size() + unit.size() <= 64 * 1024) {
            text += unit;
        }
        const auto start = std::chrono::steady_clock::now();
        const WordList words = analyzer->analyze(text);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << unit;
        std::string joined;
        words.forEach([&](const WordList::Word& word) {
            joined += word.surface;
            EXPECT_TRUE(isValidUtf8(word.surface)) << unit << " word " << words.size();
        });
        EXPECT_EQ(joined, text) << unit;
    }
}

// The reply to texts of one stretch and of many, written a part at a time with the words of
// later stretches kept (budget enough) or analysed again (none), must be the reply to the whole
// word list, byte for byte.
TEST_F(AnalyzerTest, RepliesAStretchAtATimeAsTheWholeReply) {
    std::string prose, runs, alternating;
    while (prose.size() < 3 * AnalysisReply::stretchBytes) {
        prose += "吾輩は猫である。名前はまだ無い。\n(1) A&B<C>\t";
    }
    while (runs.size() < 2 * AnalysisReply::stretchBytes) {
        runs += std::string(300, 'a') + "ア";
    }
    while (alternating.size() < 2 * AnalysisReply::stretchBytes + 5) {
        alternating += "a ";
    }
    for (const std::string& text : {std::string(), std::string("雨"), prose, runs, alternating}) {
        const std::string whole = writeReply(analyzer->analyze(text));
        for (const std::size_t budget : {std::size_t{0}, std::size_t{1} << 30}) {
            ByteBudget spare(budget);
            AnalysisReply reply(*analyzer, text, spare);
            while (reply.countNext(nullptr)) {
            }
            EXPECT_EQ(reply.size(), whole.size()) << text.size() << " bytes, budget " << budget;
            std::string written, part;
            for (AnalysisReply::Next next{}; next != AnalysisReply::Next::lastPart;) {
                next = reply.next(part);
                if (next == AnalysisReply::Next::analyse) {
                    reply.analyseNext(nullptr);
                }
                EXPECT_LE(part.size(), AnalysisReply::partBytes + 1024);
                written += part;
            }
            EXPECT_TRUE(written == whole) << text.size() << " bytes, budget " << budget;
            EXPECT_EQ(spare.left(), budget) << "the budget is given back";
        }
    }
}

// A new analyzer after analyses of the texts on threads at once, retried until they overlapped so
// that each took a lattice of its own: nothing holds an analysis half-way, so only their start is
// shared. None if they never did.
std::unique_ptr<Analyzer> analysedAtOnce(const std::vector<std::string>& texts) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        auto analyzer = std::make_unique<Analyzer>(ORIZUME_MECAB_DICDIR);
        std::latch start(static_cast<std::ptrdiff_t>(texts.size()));
        {
            std::vector<std::jthread> threads;
            for (const std::string& text : texts) {
                threads.emplace_back([&analyzer, &start, &text] {
                    start.arrive_and_wait();
                    analyzer->analyze(text);
                });
            }
        }
        if (analyzer->spareLattices().size() == texts.size()) {
            return analyzer;
        }
    }
    return nullptr;
}

// When idle the lattice used last stays warm if it has analysed no more than a person's text, else
// the one used last before it that has; the others go. Lattices are told apart by the longest
// piece each has analysed: the length of the one text each analysed here, the longest of them as
// long as a warm lattice's may be.
TEST(Analyzer, KeepsOneWarmLatticeWhenIdle) {
    const auto prose = [](std::size_t bytes) { // one piece of exactly that many bytes
        std::string text;
        while (text.size() + std::strlen("吾輩は猫である。") <= bytes) {
            text += "吾輩は猫である。";
        }
        return text + std::string(bytes - text.size(), 'a');
    };
    const std::vector<std::string> texts = {prose(10000), prose(20000),
                                            prose(Analyzer::warmPieceBytes)};
    const std::string longer = prose(Analyzer::warmPieceBytes + 1);
    for (const bool lastGrew : {false, true}) {
        const std::unique_ptr<Analyzer> analyzer = analysedAtOnce(texts);
        ASSERT_TRUE(analyzer) << "the analyses never ran at once";
        const std::vector<std::size_t> idle = analyzer->spareLattices();
        std::vector<std::size_t> pieces = idle;
        std::ranges::sort(pieces);
        ASSERT_EQ(pieces, (std::vector<std::size_t>{10000, 20000, Analyzer::warmPieceBytes}));
        if (lastGrew) {
            analyzer->analyze(longer); // on the lattice lent next: the one used last
        }
        analyzer->releaseSpareLattices();
        EXPECT_EQ(analyzer->spareLattices(), std::vector<std::size_t>{idle[lastGrew ? 1 : 2]})
            << "kept from " << ::testing::PrintToString(idle)
            << (lastGrew ? ", the last grown" : "");
    }
    const Analyzer analyzer(ORIZUME_MECAB_DICDIR);
    analyzer.analyze(longer);
    analyzer.releaseSpareLattices();
    EXPECT_TRUE(analyzer.spareLattices().empty()) << "a lattice grown by a long piece kept";
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
