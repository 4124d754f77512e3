// The service over real sockets: the program's exact request bytes, absolute-form targets, large
// bodies, every kind of refusal, the information page, the log, and concurrent clients.

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

using namespace testing;

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

    httplib::Result post(const std::string& sentence) {
        httplib::Client client("127.0.0.1", port);
        return client.Post("/MAService/V1/parse", programForm(sentence),
                           "application/x-www-form-urlencoded");
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
    for (const std::string_view target :
         {"/MAService/V1/parse", "http://localhost/MAService/V1/parse",
          "http://127.0.0.1:8080/MAService/V1/parse"}) {
        const std::string reply = rawExchange(port, programRequest(target, programForm(sentence)));
        EXPECT_EQ(rawStatus(reply), 200) << target;
        EXPECT_NE(reply.find("Content-Type: application/xml; charset=UTF-8\r\n"), std::string::npos)
            << target;
        bool ok = false;
        EXPECT_EQ(listed(walkReply(rawBody(reply), &ok)),
                  "名詞 田中|接尾辞 さん|助詞 は|名詞 勉強|動詞 する|特殊 。")
            << target;
        EXPECT_TRUE(ok) << target;
    }
    const std::string page = rawExchange(port, "GET http://localhost/ HTTP/1.0\r\n\r\n");
    EXPECT_EQ(rawStatus(page), 200);
    EXPECT_NE(page.find("MeCab"), std::string::npos);
    EXPECT_NE(page.find("ipadic-utf8"), std::string::npos);
}

TEST_F(AnalysisServerTest, GivesWhitespaceAndTheLargestTextBackThroughTheProgramsEscaping) {
    const httplib::Result res = post("  雨が\t降る。\r\n\r\n晴れ\r　です ");
    ASSERT_TRUE(res && res->status == 200);
    EXPECT_EQ(res->body.find("?>\n"), std::string::npos) << "line end after the declaration";
    bool ok = false;
    EXPECT_EQ(listed(walkReply(res->body, &ok)),
              "特殊  |特殊  |名詞 雨|助詞 が|特殊 \t|動詞 降る|特殊 。|特殊 \n|特殊 \n|名詞 晴れ|"
              "特殊 \n|特殊 　|助動詞 です|特殊  ");
    EXPECT_TRUE(ok);
    // 32,000 bytes of Japanese (3-byte characters) with punctuation the form escapes.
    std::string sentence;
    for (const std::string piece = "吾輩は猫である。名前はまだ無い。(1) ";
         sentence.size() + piece.size() <= 32000;) {
        sentence += piece;
    }
    sentence.resize(32000, ' ');
    const httplib::Result large = post(sentence);
    ASSERT_TRUE(large && large->status == 200);
    EXPECT_EQ(joinSurfaces(walkReply(large->body)), sentence);
}

TEST_F(AnalysisServerTest, RefusesBadRequestsWithAStatusAndAnXmlBody) {
    const std::string parse = "/MAService/V1/parse";
    struct Case {
        const char* name;
        std::string request;
        int status;
        std::string message; // part of the error message
    };
    const Case cases[] = {
        {"invalid UTF-8", programRequest(parse, "appid=x&sentence=\xE9&results=ma"), 400, "UTF-8"},
        {"declared length over the limit",
         "POST " + parse + " HTTP/1.0\r\nContent-Length: 5000000\r\n\r\n", 400, "larger than"},
        {"chunked body over the limit",
         "POST " + parse + " HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n" +
             "Connection: close\r\n\r\n100001\r\n" + std::string(0x100001, 'a') + "\r\n0\r\n\r\n",
         400, "larger than 1048576 bytes"},
        // Neither a length nor chunks: no body, rather than waiting for the client to close.
        {"no body length", "POST " + parse + " HTTP/1.0\r\n\r\n", 400, "appid"},
        {"multipart body",
         "POST " + parse + " HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=b\r\n" +
             "Content-Length: 4\r\n\r\n--b\n",
         400, "x-www-form-urlencoded"},
        {"GET of the parse path", "GET " + parse + " HTTP/1.0\r\n\r\n", 405, "GET"},
        {"POST of the page", programRequest("/", programForm("雨")), 405, "POST"},
        {"other path", programRequest("/MAService/V2/parse", programForm("雨")), 404, "not found"},
        {"malformed request line", "NONSENSE\r\n\r\n", 400, "bad request"},
        {"unknown method", "BREW " + parse + " HTTP/1.0\r\n\r\n", 400, "bad request"},
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
    const std::string allow = rawExchange(port, cases[5].request);
    EXPECT_NE(allow.find("Allow: POST\r\n"), std::string::npos) << allow;
}

TEST_F(AnalysisServerTest, LogsOneLinePerRequest) {
    ASSERT_TRUE(post("雨"));
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
    const std::vector<std::string> sentences = {"私は東京大学に行きました。", "雨さえ降った。",
                                                "高いです。高かった。",
                                                "食べて寝る。とても美しく静かな町。"};
    std::vector<std::string> serial;
    for (const std::string& sentence : sentences) {
        const httplib::Result res = post(sentence);
        ASSERT_TRUE(res && res->status == 200) << sentence;
        serial.push_back(res->body);
    }
    constexpr int clients = 12;
    std::vector<int> failures(clients, 0);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            for (int r = 0; r < 10; ++r) {
                const std::size_t i = static_cast<std::size_t>(c + r) % sentences.size();
                const httplib::Result res = post(sentences[i]);
                if (!res || res->status != 200 || res->body != serial[i]) {
                    ++failures[static_cast<std::size_t>(c)];
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures, std::vector<int>(clients, 0));
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
