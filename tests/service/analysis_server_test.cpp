// The service over real sockets: the program's exact request bytes, absolute-form targets, large
// bodies, every refusal, the information page, the log, and concurrent clients.

#include "service/analysis_server.h"
#include "service/analyzer.h"
#include "tests/service/service_test_support.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace orizume::service {
namespace {

using testing::joinSurfaces;
using testing::programForm;
using testing::rawBody;
using testing::rawExchange;
using testing::rawStatus;
using testing::WalkedWord;
using testing::walkReply;

// The request exactly as the program puts it on the wire (HTTP/1.0, its header names).
std::string programRequest(std::string_view target, const std::string& body) {
    return "POST " + std::string(target) +
           " HTTP/1.0\r\nUser-Agent: Orizume 1.0; PPC\r\nHost: localhost\r\n"
           "Content-type: application/x-www-form-urlencoded\r\nContent-length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

class AnalysisServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { analyzer = std::make_unique<Analyzer>(ORIZUME_MECAB_DICDIR); }
    static void TearDownTestSuite() { analyzer.reset(); }

    void SetUp() override {
        server = std::make_unique<AnalysisServer>(*analyzer, &log);
        port = server->bind("127.0.0.1", 0);
        ASSERT_GT(port, 0) << server->bindError();
        thread = std::thread([this] { server->listen(); });
        for (int i = 0; i < 500 && !server->isRunning(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_TRUE(server->isRunning());
    }

    void TearDown() override {
        server->stop();
        if (thread.joinable()) {
            thread.join();
        }
    }

    httplib::Result post(const std::string& body) {
        httplib::Client client("127.0.0.1", port);
        return client.Post("/MAService/V1/parse", body, "application/x-www-form-urlencoded");
    }

    static std::unique_ptr<Analyzer> analyzer;
    std::ostringstream log;
    std::unique_ptr<AnalysisServer> server;
    std::thread thread;
    int port = 0;
};
std::unique_ptr<Analyzer> AnalysisServerTest::analyzer;

TEST_F(AnalysisServerTest, AnswersTheProgramsRequestInOriginAndAbsoluteForm) {
    const std::string sentence = "田中さんは勉強する。";
    const std::vector<WalkedWord> expected = {{"名詞", "田中"}, {"接尾辞", "さん"}, {"助詞", "は"},
                                              {"名詞", "勉強"}, {"動詞", "する"},   {"特殊", "。"}};
    for (const std::string_view target :
         {"/MAService/V1/parse", "http://localhost/MAService/V1/parse",
          "http://127.0.0.1:8080/MAService/V1/parse"}) {
        const std::string reply = rawExchange(port, programRequest(target, programForm(sentence)));
        EXPECT_EQ(rawStatus(reply), 200) << target;
        EXPECT_NE(reply.find("Content-Type: application/xml; charset=UTF-8\r\n"), std::string::npos)
            << target;
        bool ok = false;
        EXPECT_EQ(walkReply(rawBody(reply), &ok), expected) << target;
        EXPECT_TRUE(ok) << target;
    }
}

TEST_F(AnalysisServerTest, GivesWhitespaceBackThroughTheProgramsEscaping) {
    const std::string sentence = "  雨が\t降る。\r\n\r\n晴れ\r　です ";
    const httplib::Result res = post(programForm(sentence));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    EXPECT_EQ(res->body.find("?>\n"), std::string::npos) << "line end after the declaration";
    bool ok = false;
    const std::vector<WalkedWord> words = walkReply(res->body, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(joinSurfaces(words), "  雨が\t降る。\n\n晴れ\n　です ");
    EXPECT_EQ(words.front(), (WalkedWord{"特殊", " "}));
    EXPECT_EQ(words.back(), (WalkedWord{"特殊", " "}));
}

TEST_F(AnalysisServerTest, TakesTheProgramsLargestTextAndRefusesAboveTheLimit) {
    // 32,000 bytes of Japanese (3-byte characters) with punctuation the form escapes.
    std::string sentence;
    const std::string piece = "吾輩は猫である。名前はまだ無い。(1) ";
    while (sentence.size() + piece.size() <= 32000) {
        sentence += piece;
    }
    while (sentence.size() < 32000) {
        sentence += ' ';
    }
    ASSERT_EQ(sentence.size(), 32000U);
    const httplib::Result res = post(programForm(sentence));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    EXPECT_EQ(joinSurfaces(walkReply(res->body)), sentence);

    const std::string huge =
        "appid=x&results=ma&sentence=" + std::string(AnalysisServer::defaultMaxBodyBytes, 'a');
    const httplib::Result refused = post(huge);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    EXPECT_NE(refused->body.find("larger than 1048576 bytes"), std::string::npos) << refused->body;
}

TEST_F(AnalysisServerTest, RefusesBadRequestsWithAStatusAndAnXmlBody) {
    const std::string good = programForm("雨");
    struct Case {
        const char* name;
        std::string request;
        int status;
        std::string message; // part of the error message
    };
    const Case cases[] = {
        {"appid missing", programRequest("/MAService/V1/parse", "sentence=a&results=ma"), 400,
         "appid"},
        {"sentence missing", programRequest("/MAService/V1/parse", "appid=x&results=ma"), 400,
         "sentence"},
        {"results not ma", programRequest("/MAService/V1/parse", "appid=x&sentence=a&results=x"),
         400, "results"},
        {"invalid UTF-8", programRequest("/MAService/V1/parse", "appid=x&sentence=\xE9&results=ma"),
         400, "UTF-8"},
        {"broken escape", programRequest("/MAService/V1/parse", "appid=x&sentence=%G0&results=ma"),
         400, "percent"},
        {"declared length over the limit",
         "POST /MAService/V1/parse HTTP/1.0\r\nContent-Length: 5000000\r\n\r\n", 400,
         "larger than"},
        {"chunked body over the limit",
         "POST /MAService/V1/parse HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n"
         "Connection: close\r\n\r\n100001\r\n" +
             std::string(0x100001, 'a') + "\r\n0\r\n\r\n",
         400, "larger than"},
        // Neither a length nor chunks: no body, rather than waiting for the client to close.
        {"no body length", "POST /MAService/V1/parse HTTP/1.0\r\n\r\n", 400, "appid"},
        {"multipart body",
         "POST /MAService/V1/parse HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=b\r\n"
         "Content-Length: 4\r\n\r\n--b\n",
         400, "x-www-form-urlencoded"},
        {"GET of the parse path", "GET /MAService/V1/parse HTTP/1.0\r\n\r\n", 405, "GET"},
        {"PUT of the parse path",
         "PUT /MAService/V1/parse HTTP/1.0\r\nContent-Length: " + std::to_string(good.size()) +
             "\r\n\r\n" + good,
         405, "PUT"},
        {"DELETE of the page", "DELETE / HTTP/1.0\r\n\r\n", 405, "DELETE"},
        {"POST of the page", programRequest("/", good), 405, "POST"},
        {"other path", programRequest("/MAService/V2/parse", good), 404, "not found"},
        {"GET of another path", "GET /index.html HTTP/1.0\r\n\r\n", 404, "not found"},
        {"malformed request line", "NONSENSE\r\n\r\n", 400, "bad request"},
        {"unknown method", "BREW /MAService/V1/parse HTTP/1.0\r\n\r\n", 400, "bad request"},
    };
    for (const Case& c : cases) {
        const std::string reply = rawExchange(port, c.request);
        EXPECT_EQ(rawStatus(reply), c.status) << c.name << "\n" << reply.substr(0, 300);
        const std::string body = rawBody(reply);
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(body.c_str())) << c.name << ": " << body;
        EXPECT_EQ(doc.child("Error").child_value("Status"), std::to_string(c.status)) << c.name;
        EXPECT_NE(body.find(c.message), std::string::npos) << c.name << ": " << body;
    }
    const std::string allow = rawExchange(port, "GET /MAService/V1/parse HTTP/1.0\r\n\r\n");
    EXPECT_NE(allow.find("Allow: POST\r\n"), std::string::npos) << allow;
}

TEST_F(AnalysisServerTest, PageNamesTheAnalyserAndDictionary) {
    const std::string reply = rawExchange(port, "GET http://localhost/ HTTP/1.0\r\n\r\n");
    EXPECT_EQ(rawStatus(reply), 200);
    EXPECT_NE(reply.find("MeCab"), std::string::npos);
    EXPECT_NE(reply.find("ipadic-utf8"), std::string::npos);
}

TEST_F(AnalysisServerTest, LogsOneLinePerRequest) {
    ASSERT_TRUE(post(programForm("雨")));
    rawExchange(port, "GET /nowhere HTTP/1.0\r\n\r\n");
    rawExchange(port, "NONSENSE\x01\r\n\r\n");
    // Log lines are written after the reply has gone; stopping joins the workers.
    server->stop();
    thread.join();
    const std::string text = log.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
    EXPECT_NE(text.find("\"POST /MAService/V1/parse\" 200"), std::string::npos) << text;
    EXPECT_NE(text.find("\"GET /nowhere\" 404"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x01'), std::string::npos) << "control byte copied into the log";
}

TEST_F(AnalysisServerTest, ConcurrentRequestsGetTheSerialReplies) {
    const std::vector<std::string> sentences = {
        "私は東京大学に行きました。",
        "田中さんは勉強する。",
        "雨さえ降った。",
        "高いです。高かった。",
        "食べて寝る。とても美しく静かな町。",
    };
    std::vector<std::string> serial;
    for (const std::string& sentence : sentences) {
        const httplib::Result res = post(programForm(sentence));
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200);
        serial.push_back(res->body);
    }
    constexpr int clients = 12;
    constexpr int rounds = 10;
    std::vector<int> failures(clients, 0);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            for (int r = 0; r < rounds; ++r) {
                const std::size_t i = static_cast<std::size_t>(c + r) % sentences.size();
                const httplib::Result res =
                    client.Post("/MAService/V1/parse", programForm(sentences[i]),
                                "application/x-www-form-urlencoded");
                if (!res || res->status != 200 || res->body != serial[i]) {
                    ++failures[static_cast<std::size_t>(c)];
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (int c = 0; c < clients; ++c) {
        EXPECT_EQ(failures[static_cast<std::size_t>(c)], 0) << "client " << c;
    }
}

TEST(AnalysisServer, ReportsAPortInUse) {
    const Analyzer analyzer(ORIZUME_MECAB_DICDIR);
    AnalysisServer first(analyzer, nullptr);
    const int port = first.bind("127.0.0.1", 0);
    ASSERT_GT(port, 0);
    AnalysisServer second(analyzer, nullptr);
    EXPECT_EQ(second.bind("127.0.0.1", port), -1);
    EXPECT_NE(second.bindError().find("in use"), std::string::npos) << second.bindError();
}

} // namespace
} // namespace orizume::service
