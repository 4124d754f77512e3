// The service's pieces without MeCab or sockets: form decoding, UTF-8 checks, the part-of-speech
// mapping, the reply writer, the request check and the order of the analysis queue.

#include "service/analysis_queue.h"
#include "service/form_decoder.h"
#include "service/parse_request.h"
#include "service/pos_mapping.h"
#include "service/reply_pacing.h"
#include "service/reply_writer.h"
#include "service/request_head.h"
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

// One thread, held at a gate while the queue fills: a request at the body limit whose four
// analyses are each queued by the one before, and many short requests that came after it. Over
// all its analyses together it lets at most one later request per 64 bytes go first; a repeat
// queued ahead runs before every later request.
TEST(AnalysisQueue, LetsOnlySoManyLaterRequestsGoFirstOverAllOfARequestsAnalyses) {
    constexpr int shortOnes = 20000;
    constexpr std::size_t longBytes = 256 * 1024;
    AnalysisQueue queue(1);
    std::promise<void> opened;
    std::promise<void> finished;
    std::vector<int> ran; // the long request's analyses as -1, -2, ...; short ones as 0, 1, ...
    const auto record = [&](int which) {
        ran.push_back(which);
        if (ran.size() == shortOnes + 5) {
            finished.set_value();
        }
    };
    queue.post(queue.enter(0), [gate = opened.get_future().share()] { gate.wait(); });
    const AnalysisQueue::Place place = queue.enter(longBytes);
    std::function<void(int)> analyse = [&](int k) {
        record(-k);
        if (k < 4) {
            queue.post(place, [&analyse, k] { analyse(k + 1); });
        }
    };
    queue.post(place, [&analyse] { analyse(1); });
    for (int i = 0; i < shortOnes; ++i) {
        queue.post(queue.enter(100), [&, i] {
            record(i);
            // A repeat that comes only once later requests are queued, as a reply's next stretch
            // does.
            if (i == 0) {
                queue.post(place.ahead(), [&] { record(-5); });
            }
        });
    }
    opened.set_value();
    finished.get_future().wait();
    const auto position = [&ran](int which) {
        return std::find(ran.begin(), ran.end(), which) - ran.begin();
    };
    const long shortBeforeLast = std::count_if(ran.begin(), ran.begin() + position(-4),
                                               [](int which) { return which >= 0; });
    EXPECT_GT(shortBeforeLast, 0) << "no shorter request went before it";
    EXPECT_LE(shortBeforeLast, static_cast<long>(longBytes / 64))
        << "overtaken again at each analysis";
    EXPECT_EQ(position(-5), position(0) + 1) << "later requests ran before a repeat queued ahead";
}

// Heads against small caps (a line of 20 bytes, fields of 16), given whole and a byte at a time:
// the verdict, and the head's bytes after the empty lines skipped before it.
TEST(HeadFrame, FindsTheHeadsEndAndHoldsLineAndFieldsToTheirCapsInAnyPieces) {
    using Verdict = HeadFrame::Verdict;
    struct Case {
        std::string_view bytes;
        Verdict verdict;
        std::size_t skipped;
        std::size_t head; // the whole head's bytes, when whole
    };
    const Case cases[] = {
        {"GET / HTTP/1.0\r\n\r\nbody", Verdict::whole, 0, 18},
        {"\r\n\nGET / HTTP/1.0\r\nX: y\r\n\r\n", Verdict::whole, 3, 24},
        {"GET / HTTP/1.0\nX: y\n\n", Verdict::whole, 0, 21},    // bare line feeds: the parser's
        {"GET /abcdef HTTP/1.0\r", Verdict::lineTooLong, 0, 0}, // 20 bytes, no line feed
        {"GET /abcd HTTP/1.0\r\nX: 0123456789a\r\n\r\n", Verdict::whole, 0, 38}, // at the caps
        {"GET / HTTP/1.0\r\nX: 0123456789abc\r\n\r\n", Verdict::fieldsTooLarge, 0, 0},
        {"GET / HTTP/1.0\r\nX: 0123456789abcdefgh", Verdict::fieldsTooLarge, 0, 0},
        {"\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nGET", Verdict::tooManyEmptyLines, 22, 0},
        {"GET / HTTP/1.0\r\nX: y\r\n\r", Verdict::more, 0, 0},
        {"GET / HTTP/1.0\r\n\r\r\n", Verdict::more, 0, 0},           // "\r\r\n" is no empty line
        {"GET /abcde HTTP/1.0\r\n\r\n", Verdict::lineTooLong, 0, 0}, // a byte over
        {"GET / HTTP/1.0\r\nX: 0123456789ab\r\n\r\n", Verdict::fieldsTooLarge, 0, 0}, // a byte over
    };
    for (const Case& c : cases) {
        for (const bool bytewise : {false, true}) {
            HeadFrame frame(HeadLimits{20, 16});
            std::string buffered;
            std::size_t skipped = 0;
            HeadFrame::Verdict verdict = Verdict::more;
            for (std::size_t at = 0; verdict == Verdict::more && at < c.bytes.size();) {
                const std::size_t n = bytewise ? 1 : c.bytes.size();
                buffered += c.bytes.substr(at, n);
                at += n;
                const HeadFrame::Scan scan = frame.scan(buffered);
                buffered.erase(0, scan.skip);
                skipped += scan.skip;
                verdict = scan.verdict;
            }
            const std::string name = std::string(c.bytes) + (bytewise ? " (a byte at a time)" : "");
            EXPECT_EQ(verdict, c.verdict) << name;
            EXPECT_EQ(skipped, c.skipped) << name;
            if (verdict == Verdict::whole) {
                EXPECT_EQ(frame.headBytes(), c.head) << name;
            }
        }
    }
}

TEST(TransferCoding, ReadsChunkedAloneRefusesTheRest) {
    const std::pair<std::string_view, int> cases[] = {
        {"chunked", 0},
        {" Chunked ;x=1", 0},
        {", chunked,", 0},
        {"gzip, chunked", 501},
        {"chunked, gzip", 400},
        {"gzip", 400},
        {"chunked, chunked", 400},
        {"", 0},
    };
    for (const auto& [field, status] : cases) {
        EXPECT_EQ(transferCodingStatus(field), status) << field;
    }
}

// The reply's time runs only while the socket has a part to take: a clock stepped by hand, and a
// stream that keeps the deadline it is given.
struct SteppedClock : std::chrono::steady_clock {
    static inline time_point at = time_point() + std::chrono::hours(1);
    static time_point now() { return at; }
};
struct DeadlineStream {
    std::chrono::steady_clock::duration deadline = std::chrono::steady_clock::duration::max();
    void expires_after(std::chrono::steady_clock::duration after) { deadline = after; }
};

TEST(ReplyPacing, CountsTheTimeWritesTakeNotTheTimeBetweenThem) {
    using namespace std::chrono_literals;
    BasicReplyPacing<SteppedClock> pacing(1s);
    DeadlineStream stream;
    pacing.writing(stream);
    EXPECT_EQ(stream.deadline, 1s);
    SteppedClock::at += 100ms; // the client reading slowly
    pacing.written();
    SteppedClock::at += 300ms; // the next stretch analysed
    pacing.writing(stream);
    EXPECT_EQ(stream.deadline, 900ms) << "the write's time not counted";
    SteppedClock::at += 1s; // the client stopped reading: the timeout came late
    pacing.written();
    EXPECT_EQ(pacing.left(), -100ms) << "the time between writes counted";
    pacing.writing(stream);
    EXPECT_EQ(stream.deadline, 0s) << "a deadline already past";
}

} // namespace
} // namespace orizume::service
