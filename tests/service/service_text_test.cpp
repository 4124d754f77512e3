// The service's pieces without MeCab or sockets: form decoding, UTF-8 checks, the part-of-speech
// mapping, the reply writer, the request check and the order of the analysis queue.

#include "service/analysis_queue.h"
#include "service/form_decoder.h"
#include "service/parse_request.h"
#include "service/pos_mapping.h"
#include "service/reply_writer.h"
#include "service/utf8.h"
#include "tests/service/service_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>

namespace orizume::service {
namespace {

using Fields = std::map<std::string, std::string>;

TEST(FormDecoder, DecodesPairsAndRefusesBrokenPercentEscapes) {
    // clang-format off
    const std::pair<std::string_view, Fields> cases[] = {
        {"a=x+y", {{"a", "x y"}}}, {"a=x%2By", {{"a", "x+y"}}},
        {"a=%26%3D&b=2", {{"a", "&="}, {"b", "2"}}}, {"a=b=c", {{"a", "b=c"}}},
        {"a&b=", {{"a", ""}, {"b", ""}}}, {"&a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},
        {"a=1&a=2", {{"a", "1"}}}, {"a=x%0d%0Ay", {{"a", "x\r\ny"}}},
    };
    // clang-format on
    for (const auto& [body, fields] : cases) {
        const DecodedForm form = decodeForm(body);
        EXPECT_TRUE(form.ok()) << body << ": " << form.error;
        EXPECT_EQ(form.fields, fields) << body;
    }
    for (const std::string_view body : {"a=%", "a=%4", "a=%4G", "a%zz=1", "a=1&b=%%41"}) {
        const DecodedForm form = decodeForm(body);
        EXPECT_FALSE(form.ok()) << body;
        EXPECT_TRUE(form.fields.empty()) << body;
    }
}

TEST(Utf8, ValidatesStrictly) {
    // clang-format off
    const std::pair<std::string, bool> cases[] = {
        {"私は東京", true}, {"\xF0\x9F\x98\x80", true}, {std::string("a\0b", 3), true},
        {"\x80", false}, {"\xE3\x81", false}, {"\xC0\xAF", false}, {"\xE0\x80\xAF", false},
        {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false}, {"caf\xE9", false},
    };
    // clang-format on
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(isValidUtf8(text), valid) << ::testing::PrintToString(text);
    }
}

TEST(Utf8, NormalisesLineEndsAndCharactersXmlCannotCarry) {
    const std::string bad = "\xEF\xBF\xBD"; // U+FFFD
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb", "a\nb"},
        {"a\rb", "a\nb"},
        {"a\r\r\nb", "a\n\nb"},
        {std::string("a\0b", 3), "a" + bad + "b"},
        {"\x0B\x0C", bad + bad},                 // vertical tab, form feed
        {"\xEF\xBF\xBE\xEF\xBF\xBF", bad + bad}, // U+FFFE, U+FFFF
        {"\x7F\xC2\x85", "\x7F\xC2\x85"},        // DEL and C1 controls are XML characters
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(normaliseInput(text), expected) << ::testing::PrintToString(text);
    }
}

TEST(PosMapping, MapsIpadicOntoTheThirteenNames) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"名詞,一般,*,*,*,*,雨,アメ,アメ", "名詞"},
        {"名詞,接尾,人名,*,*,*,さん,サン,サン", "接尾辞"},
        {"名詞,接尾,形容動詞語幹,*,*,*,的,テキ,テキ", "接尾辞"},
        {"動詞,接尾,*,*,一段,基本形,られる,ラレル,ラレル", "接尾辞"},
        {"名詞,形容動詞語幹,*,*,*,*,静か,シズカ,シズカ", "形容動詞"},
        {"名詞,非自立,形容動詞語幹,*,*,*,みたい,ミタイ,ミタイ", "名詞"},
        {"記号,句点,*,*,*,*,。,。,。", "特殊"},
        {"接頭詞,名詞接続,*,*,*,*,お,オ,オ", "接頭辞"},
        {"フィラー,*,*,*,*,*,えーと,エート,エート", "感動詞"},
        {"その他,間投,*,*,*,*,ー,ー,ー", "特殊"},
        {"動詞,非自立,*,*,一段,基本形,いる,イル,イル", "動詞"},
        {"BOS/EOS,*,*,*,*,*,*,*,*", "特殊"},
        {"", "特殊"},
    };
    for (const auto& [feature, expected] : cases) {
        EXPECT_EQ(mapPartOfSpeech(feature), expected) << feature;
    }
}

TEST(ReplyWriter, WritesTheShapeTheProgramWalks) {
    const std::string reply = writeReply({{"雨", "アメ", "名詞"},
                                          {" ", "", "特殊"},
                                          {"\t", "", "特殊"},
                                          {"\n", "", "特殊"},
                                          {"A&B<C>", "A&B<C>", "名詞"}});
    EXPECT_EQ(reply, R"(<?xml version="1.0" encoding="UTF-8"?><ResultSet><ma_result>)"
                     "<total_count>5</total_count><filtered_count>5</filtered_count><word_list>"
                     "<word><surface>雨</surface><reading>アメ</reading><pos>名詞</pos></word>"
                     "<word><surface> </surface><reading></reading><pos>特殊</pos></word>"
                     "<word><surface>\t</surface><reading></reading><pos>特殊</pos></word>"
                     "<word><surface>\n</surface><reading></reading><pos>特殊</pos></word>"
                     "<word><surface>A&amp;B&lt;C&gt;</surface><reading>A&amp;B&lt;C&gt;"
                     "</reading><pos>名詞</pos></word></word_list></ma_result></ResultSet>");
    bool ok = false;
    EXPECT_EQ(testing::listed(testing::walkReply(reply, &ok)),
              "名詞 雨|特殊  |特殊 \t|特殊 \n|名詞 A&B<C>");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(testing::walkReply(writeReply(WordList{}), &ok).empty());
    EXPECT_TRUE(ok) << "an empty word list still walks";
}

TEST(ParseRequest, ChecksTheFields) {
    const std::string appid = "the field \"appid\" is missing or empty";
    const std::string utf8 = "the field \"sentence\" is not valid UTF-8";
    const std::pair<std::string, std::string> cases[] = {
        {testing::programForm("雨さえ降った。"), ""},
        {"appid=x&sentence=&results=ma", ""},
        {"sentence=a&results=ma", appid},
        {"appid=&sentence=a&results=ma", appid},
        {"appid=x&results=ma", "the field \"sentence\" is missing"},
        {"appid=x&sentence=a", "the field \"results\" is missing"},
        {"appid=x&sentence=a&results=uniq", "the field \"results\" must be \"ma\""},
        {"appid=x&sentence=%E3%81&results=ma", utf8},
        {"appid=x&sentence=%82%A0&results=ma", utf8}, // Shift_JIS
        {"appid=x&sentence=100%&results=ma", "malformed percent escape in the form body"},
    };
    for (const auto& [body, error] : cases) {
        EXPECT_EQ(readParseRequest(body).error, error) << body;
    }
}

} // namespace
} // namespace orizume::service

namespace orizume::service {
namespace {

TEST(AnalysisQueue, RunsShorterRequestsFirstButNeverStarvesALongerOne) {
    constexpr int shortOnes = 20000; // posted after the long one, one after another
    AnalysisQueue queue(1);
    std::promise<void> opened;
    std::promise<void> finished;
    std::vector<int> ran; // written by the queue's one thread only
    const auto record = [&ran, &finished](int which) {
        ran.push_back(which);
        if (ran.size() == shortOnes + 1) {
            finished.set_value();
        }
    };
    queue.post(0, [gate = opened.get_future().share()] { gate.wait(); });
    queue.post(256 * 1024, [&record] { record(-1); }); // a body at the limit
    for (int i = 0; i < shortOnes; ++i) {
        queue.post(100, [&record, i] { record(i); });
    }
    opened.set_value();
    finished.get_future().wait();
    const auto before = std::find(ran.begin(), ran.end(), -1) - ran.begin();
    EXPECT_GT(before, 0) << "no shorter request went before it";
    EXPECT_LT(before, shortOnes / 2) << "it waited behind most of the shorter ones";
}

} // namespace
} // namespace orizume::service
