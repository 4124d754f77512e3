// The service's pieces without MeCab or sockets: form decoding, UTF-8 checks, the part-of-speech
// mapping, the reply writer and the request check.

#include "service/form_decoder.h"
#include "service/parse_request.h"
#include "service/pos_mapping.h"
#include "service/reply_writer.h"
#include "service/utf8.h"
#include "tests/service/service_test_support.h"

#include <gtest/gtest.h>

namespace orizume::service {
namespace {

using testing::programForm;
using testing::WalkedWord;
using testing::walkReply;

TEST(FormDecoder, DecodesPairs) {
    struct Case {
        const char* name;
        std::string_view body;
        std::map<std::string, std::string> fields;
    };
    const Case cases[] = {
        {"plus is a space", "a=x+y", {{"a", "x y"}}},
        {"escaped plus stays a plus", "a=x%2By", {{"a", "x+y"}}},
        {"escaped ampersand and equals", "a=%26%3D&b=2", {{"a", "&="}, {"b", "2"}}},
        {"value with a raw equals", "a=b=c", {{"a", "b=c"}}},
        {"name without value", "a&b=", {{"a", ""}, {"b", ""}}},
        {"empty pieces skipped", "&a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},
        {"first of repeated names wins", "a=1&a=2", {{"a", "1"}}},
        {"escaped CR LF, either case", "a=x%0d%0Ay", {{"a", "x\r\ny"}}},
    };
    for (const Case& c : cases) {
        const DecodedForm form = decodeForm(c.body);
        EXPECT_TRUE(form.ok()) << c.name << ": " << form.error;
        EXPECT_EQ(form.fields, c.fields) << c.name;
    }
}

TEST(FormDecoder, RefusesBrokenPercentEscapes) {
    for (const std::string_view body : {"a=%", "a=%4", "a=%4G", "a%zz=1", "a=1&b=%%41"}) {
        const DecodedForm form = decodeForm(body);
        EXPECT_FALSE(form.ok()) << body;
        EXPECT_TRUE(form.fields.empty()) << body;
    }
}

TEST(Utf8, ValidatesStrictly) {
    struct Case {
        const char* name;
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"Japanese", "私は東京", true},
        {"four bytes", "\xF0\x9F\x98\x80", true},
        {"NUL is valid UTF-8", std::string("a\0b", 3), true},
        {"stray continuation", "\x80", false},
        {"truncated at end", "\xE3\x81", false},
        {"overlong two bytes", "\xC0\xAF", false},
        {"overlong three bytes", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"Latin-1 byte", "caf\xE9", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidUtf8(c.text), c.valid) << c.name;
    }
}

TEST(Utf8, NormalisesLineEndsAndCharactersXmlCannotCarry) {
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"CR LF", "a\r\nb", "a\nb"},
        {"lone CR", "a\rb", "a\nb"},
        {"CR CR LF", "a\r\r\nb", "a\n\nb"},
        {"NUL", std::string("a\0b", 3),
         "a\xEF\xBF\xBD"
         "b"},
        {"vertical tab and form feed", "\x0B\x0C", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"U+FFFE and U+FFFF", "\xEF\xBF\xBE\xEF\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"DEL and C1 controls are XML characters", "\x7F\xC2\x85", "\x7F\xC2\x85"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(normaliseInput(c.text), c.expected) << c.name;
    }
}

TEST(PosMapping, MapsIpadicOntoTheThirteenNames) {
    struct Case {
        std::string_view feature;
        std::string_view expected;
    };
    const Case cases[] = {
        {"名詞,一般,*,*,*,*,雨,アメ,アメ", "名詞"},
        {"名詞,接尾,人名,*,*,*,さん,サン,サン", "接尾辞"},
        {"名詞,接尾,形容動詞語幹,*,*,*,的,テキ,テキ", "接尾辞"},
        {"動詞,接尾,*,*,一段,基本形,られる,ラレル,ラレル", "接尾辞"},
        {"形容詞,接尾,*,*,形容詞・アウオ段,基本形,っぽい,ッポイ,ッポイ", "接尾辞"},
        {"名詞,形容動詞語幹,*,*,*,*,静か,シズカ,シズカ", "形容動詞"},
        {"名詞,非自立,形容動詞語幹,*,*,*,みたい,ミタイ,ミタイ", "名詞"},
        {"記号,句点,*,*,*,*,。,。,。", "特殊"},
        {"接頭詞,名詞接続,*,*,*,*,お,オ,オ", "接頭辞"},
        {"フィラー,*,*,*,*,*,えーと,エート,エート", "感動詞"},
        {"その他,間投,*,*,*,*,ー,ー,ー", "特殊"},
        {"動詞,非自立,*,*,一段,基本形,いる,イル,イル", "動詞"},
        {"助詞,係助詞,*,*,*,*,さえ,サエ,サエ", "助詞"},
        {"BOS/EOS,*,*,*,*,*,*,*,*", "特殊"},
        {"", "特殊"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mapPartOfSpeech(c.feature), c.expected) << c.feature;
    }
}

TEST(ReplyWriter, WritesTheShapeTheProgramWalks) {
    const std::vector<Word> words = {
        {"雨", "アメ", "名詞"},       {" ", "", "特殊"}, {"\t", "", "特殊"}, {"\n", "", "特殊"},
        {"A&B<C>", "A&B<C>", "名詞"},
    };
    const std::string reply = writeReply(words);
    EXPECT_EQ(reply, R"(<?xml version="1.0" encoding="UTF-8"?><ResultSet><ma_result>)"
                     "<total_count>5</total_count><filtered_count>5</filtered_count><word_list>"
                     "<word><surface>雨</surface><reading>アメ</reading><pos>名詞</pos></word>"
                     "<word><surface> </surface><reading></reading><pos>特殊</pos></word>"
                     "<word><surface>\t</surface><reading></reading><pos>特殊</pos></word>"
                     "<word><surface>\n</surface><reading></reading><pos>特殊</pos></word>"
                     "<word><surface>A&amp;B&lt;C&gt;</surface><reading>A&amp;B&lt;C&gt;"
                     "</reading><pos>名詞</pos></word></word_list></ma_result></ResultSet>");
    bool ok = false;
    const std::vector<WalkedWord> expected = {
        {"名詞", "雨"}, {"特殊", " "}, {"特殊", "\t"}, {"特殊", "\n"}, {"名詞", "A&B<C>"}};
    EXPECT_EQ(walkReply(reply, &ok), expected);
    EXPECT_TRUE(ok);
}

TEST(ReplyWriter, EmptyWordListStillWalks) {
    bool ok = false;
    EXPECT_TRUE(walkReply(writeReply({}), &ok).empty());
    EXPECT_TRUE(ok);
}

TEST(ParseRequest, ChecksTheFields) {
    struct Case {
        const char* name;
        std::string body;
        std::string error; // empty: accepted
    };
    const Case cases[] = {
        {"the program's request", programForm("雨さえ降った。"), ""},
        {"empty sentence", "appid=x&sentence=&results=ma", ""},
        {"appid missing", "sentence=a&results=ma", "the field \"appid\" is missing or empty"},
        {"appid empty", "appid=&sentence=a&results=ma", "the field \"appid\" is missing or empty"},
        {"sentence missing", "appid=x&results=ma", "the field \"sentence\" is missing"},
        {"results missing", "appid=x&sentence=a", "the field \"results\" is missing"},
        {"results other", "appid=x&sentence=a&results=uniq",
         "the field \"results\" must be \"ma\""},
        {"invalid UTF-8", "appid=x&sentence=%E3%81&results=ma",
         "the field \"sentence\" is not valid UTF-8"},
        {"Shift_JIS text", "appid=x&sentence=%82%A0&results=ma",
         "the field \"sentence\" is not valid UTF-8"},
        {"broken escape", "appid=x&sentence=100%&results=ma",
         "malformed percent escape in the form body"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readParseRequest(c.body).error, c.error) << c.name;
    }
}

} // namespace
} // namespace orizume::service
