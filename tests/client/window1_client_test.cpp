// "Parse" inside the program: the main window against a scripted service on
// loopback, through the real socket, workers and engine.

#include "app/engine_hooks.h"
#include "app/preference_store.h"
#include "engine/hooks.h"
#include "engine/sequencer.h"
#include "platform/cooperative_thread.h"
#include "tests/support/loopback_server.h"
#include "tests/support/result_windows.h"
#include "ui/window1.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;
using Words = std::vector<std::pair<std::string, std::string>>; // surface, part of speech
using Texts = std::vector<QString>;

namespace {

QByteArray httpReply(int status, const QByteArray& body) {
    return "HTTP/1.0 " + QByteArray::number(status) + " X\r\n\r\n" + body;
}
// A reply in the shape the service sends: no whitespace between elements.
QByteArray httpReply(int status, const Words& words) {
    std::string xml = "<?xml version=\"1.0\"?><ResultSet><ma_result><total_count>0</total_count>"
                      "<filtered_count>0</filtered_count><word_list>";
    for (const auto& [surface, pos] : words)
        xml += "<word><surface>" + surface + "</surface><reading/><pos>" + pos + "</pos></word>";
    return httpReply(status,
                     QByteArray::fromStdString(xml + "</word_list></ma_result></ResultSet>"));
}

// Units that no reordering moves (one-character nouns, particles, whitespace
// and punctuation), so the rearranged text is predictable.
const Words kFixedWords = {{"私", "名詞"}, {"は", "助詞"}, {" ", "特殊"},  {"犬", "名詞"},
                           {"。", "特殊"}, {"\n", "特殊"}, {"\t", "特殊"}, {"猫", "名詞"}};
const QString kFixedText = QStringLiteral("私は 犬。\n\t猫");
// A word list whose second word has no surface or part of speech to read.
const QByteArray kWordWithoutParts = "<a><b><c/><d/><l><w><s>猫</s><p>名詞</p></w><w/></l></b></a>";

// The texts of the result windows now shown, sorted.
Texts shownTexts() {
    Texts texts;
    for (Window2* r : resultWindows())
        texts.push_back(r->editField1()->toPlainText());
    std::sort(texts.begin(), texts.end());
    return texts;
}

// Counts the queued calls (a worker is resumed by one) delivered while it exists.
struct QueuedCallCounter : QObject {
    QueuedCallCounter() { qApp->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::MetaCall;
        return false;
    }
    int count = 0;
};

// Records the pool lists it is asked to reorder.
struct RecordingSequencer : sequencerClass {
    void shuffleIt(const std::vector<std::int32_t>& list) override {
        lists.push_back(list);
        sequencerClass::shuffleIt(list);
    }
    static inline std::vector<std::vector<std::int32_t>> lists;
};

class Window1Client : public ::testing::Test {
protected:
    void SetUp() override {
        installEngineHooks(); // yield points switch workers, as in the program
        window = Window1::instance();
        Window1::setServiceAddressForTesting(service.url());
        closeResultWindows();
        window->editField1()->clear();
        window->mySequence.reset(); // nothing an earlier test walked is replayed
    }
    void TearDown() override {
        waitIdle(); // every worker finishes before the next test
        closeResultWindows();
        Window1::setServiceAddressForTesting(QString());
        platform::setTimeSliceMicroseconds(5000);
    }
    QString status() const { return window->staticText1()->text(); }
    QColor statusColor() const {
        return window->staticText1()->palette().color(QPalette::WindowText);
    }
    // Waits until no worker shows the wheel and, if given, the status line shows `text`.
    bool waitIdle(const char* text = nullptr) {
        return waitUntil([&] {
            return !window->progressWheel1()->isVisible() &&
                   (text ? status() == QString::fromUtf8(text) : !status().endsWith("..."));
        });
    }
    // Sends kFixedText, whose reply holds a word of an unknown part of speech:
    // its walk waits for a message box, a fixed point at which a test acts.
    QMessageBox* startAWalkThatWaits() {
        Words words = kFixedWords;
        words.insert(words.begin() + 2, {"謎", "未知語"});
        service.script(httpReply(200, words));
        window->editField1()->setPlainText(kFixedText);
        window->PushButton1_Action();
        return waitForMessageBox();
    }
    // Presses "Parse" and waits until `windows` result windows show and the workers are done.
    void parse(std::size_t windows) {
        window->PushButton1_Action();
        EXPECT_EQ(status(), QStringLiteral("リクエストを送信しています..."));
        EXPECT_TRUE(waitUntil([&] { return resultWindows().size() >= windows; }));
        EXPECT_TRUE(waitIdle());
    }

    LoopbackServer service;
    Window1* window = nullptr;
};

TEST_F(Window1Client, ReplyOpensResultWindowAndUnchangedTextIsReplayedWithoutRequest) {
    service.script(httpReply(200, kFixedWords));
    // The field's own text goes out, no-break space and line separator as
    // typed, and unchanged is judged against it.
    window->editField1()->setPlainText(kFixedText + QChar(0x00a0) + QChar(0x2028));
    window->setContentSize(800, 600);
    platform::setTimeSliceMicroseconds(0);
    QueuedCallCounter resumes;
    parse(1);
    ASSERT_EQ(service.received.size(), 1u);
    const QByteArray request = service.received.front();
    EXPECT_TRUE(request.startsWith("POST /MAService/V1/parse HTTP/1.0\r\n")) << request.data();
    EXPECT_TRUE(request.endsWith("\r\n\r\nappid=PebbleRotator&sentence=私は+犬。%0A\t猫\xc2\xa0"
                                 "\xe2\x80\xa8&results=ma"))
        << request.data();
    EXPECT_TRUE(request.contains("\r\nUser-Agent: Orizume " ORIZUME_SHORT_VERSION "; PPC\r\n"));
    EXPECT_FALSE(request.contains("Accept"));
    EXPECT_GE(resumes.count, int(kFixedWords.size())) << "the walk must yield at every word";
    EXPECT_EQ(shownTexts(), Texts{kFixedText});
    EXPECT_EQ(resultWindows().front()->size(), QSize(800, 600)) << "the main window's size";
    window->setContentSize(634, 473);
    EXPECT_FALSE(window->hasChanged);
    EXPECT_EQ(status(), QStringLiteral("10文字"));
    EXPECT_EQ(statusColor(), QColor(0, 0, 0));

    // The replay reorders pools 1 to 5 of the sequencer it started on, even
    // when a reply walked meanwhile replaces mySequence (and with it the last
    // other owner of the old one).
    RecordingSequencer::lists.clear(); // from an earlier repeat
    auto recording = std::make_shared<RecordingSequencer>();
    recording->Constructor();
    for (const auto& [surface, pos] : kFixedWords)
        recording->appendSequence(pos, surface);
    window->mySequence = std::move(recording);
    bool replaced = false;
    engine::hooks().yieldPoint = [&] {
        if (platform::inCooperativeThread() && !std::exchange(replaced, true)) {
            window->mySequence = std::make_shared<sequencerClass>();
            window->mySequence->Constructor();
            window->mySequence->appendSequence("名詞", "山");
        }
        platform::yieldPoint();
    };
    parse(2);
    installEngineHooks();
    EXPECT_TRUE(replaced);
    EXPECT_EQ(service.received.size(), 1u) << "unchanged text must not be sent again";
    EXPECT_EQ(shownTexts(), Texts(2, kFixedText));
    EXPECT_EQ(RecordingSequencer::lists, (std::vector<std::vector<std::int32_t>>{{1, 2, 3, 4, 5}}));
}

TEST_F(Window1Client, FailuresAndRefusedInputsAreReportedAndOpenNoWindow) {
    const QString input = QStringLiteral("入力"), kana(10666, QChar(u'あ')); // 31,998 bytes
    const QString appended = QStringLiteral("\n何らかの理由でサービスを利用できません。");
    const struct {
        const char* name;
        QString input;
        QByteArray raw;  // the scripted reply; none when nothing is sent
        const char* box; // a message box shown first, or nullptr
        const char* status;
        QString inputAfter;
        std::size_t requests;      // sent since the test began
        const char* tip = nullptr; // the status line's tooltip, when checked
    } cases[] = {
        {"status 404", input, httpReply(404, "<html/>"), nullptr, "Status: 404", input + appended,
         1},
        {"status 201: only 200 is success", input, httpReply(201, kFixedWords), nullptr,
         "Status: 201", input + appended, 2},
        {"a status line without a number", input,
         httpReply(200, kFixedWords).replace("HTTP/1.0 200 X", "HTTP/1.0 OK"), nullptr, "Status: 0",
         input + appended, 3},
        {"closed within the head", input, "HTTP/1.0 200 OK\r\nContent-Ty", nullptr, "Error: 5",
         input, 4},
        {"cut-off XML", input, httpReply(200, "<a><b>"), nullptr, "Error: 応答を読めません", input,
         5},
        // Places are those of the body as it arrived, before line ends, tabs
        // and blank surfaces were escaped, and its first byte is the 1st.
        {"a NUL after line ends", input, httpReply(200, QByteArray("<a>\n\n\0</a>", 9)), nullptr,
         "Error: 応答を読めません", input, 6, "XMLとして読めません: NUL文字 (6バイト目)"},
        {"an end tag that closes nothing, its name the 28th byte", input,
         httpReply(200, "<a>\n\t<surface> </surface></b>"), nullptr, "Error: 応答を読めません",
         input, 7, "XMLとして読めません: Start-end tags mismatch (28バイト目)"},
        {"no word list", input, httpReply(200, "<a><b/></a>"), nullptr,
         "Error: 語の一覧がありません", input, 8},
        {"a word without parts", input, httpReply(200, kWordWithoutParts), nullptr,
         "Error: 応答の語を読めません", input, 9, "2番目の語"},
        {"empty input", QString(), "", nullptr, "0文字", QString(), 9},
        {"32,001 bytes", kana + QChar(u'あ'), "", "ちょっと文章長過ぎ", "10667文字",
         kana + QChar(u'あ'), 9},
        {"32,000 bytes are sent", kana + "ab", httpReply(500, ""), nullptr, "Status: 500",
         kana + "ab" + appended, 10},
    };
    for (const auto& c : cases) {
        window->myErrorCode = 200; // a failure judged by an earlier 200 would pass for good
        if (!c.raw.isEmpty())
            service.script(c.raw);
        window->editField1()->setPlainText(c.input);
        window->PushButton1_Action();
        if (c.box) {
            QMessageBox* box = waitForMessageBox();
            ASSERT_NE(box, nullptr) << c.name;
            EXPECT_EQ(box->text(), QString::fromUtf8(c.box)) << c.name;
            box->accept();
        }
        EXPECT_TRUE(waitIdle(c.status)) << c.name << ": " << status().toStdString();
        const bool failed = QByteArray(c.status).contains(':');
        EXPECT_EQ(statusColor(), failed ? QColor(255, 0, 0) : QColor(0, 0, 0)) << c.name;
        const QLabel* line = window->staticText1();
        EXPECT_LE(line->fontMetrics().horizontalAdvance(status()), line->width()) << c.name;
        EXPECT_TRUE(!c.tip || line->toolTip() == QString::fromUtf8(c.tip))
            << c.name << ": " << line->toolTip().toStdString();
        EXPECT_EQ(window->myErrorCode, QByteArray(c.status).startsWith("Status: ")
                                           ? QByteArray(c.status).mid(8).toInt()
                                           : 200)
            << c.name << ": only a header block sets it";
        EXPECT_EQ(window->editField1()->toPlainText(), c.inputAfter) << c.name;
        EXPECT_EQ(window->hasChanged, !c.input.isEmpty()) << c.name;
        EXPECT_EQ(service.received.size(), c.requests) << c.name;
        EXPECT_TRUE(resultWindows().empty()) << c.name;
    }
}

TEST_F(Window1Client, AnEditDuringTheWalkIsKeptAndAReplayWaitsForAnotherWithoutSpinning) {
    QMessageBox* box = startAWalkThatWaits();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("予期しない形態素です: 未知語"));
    EXPECT_EQ(box->windowTitle().toStdString(), "オリズメ");
    EXPECT_EQ(status(), QStringLiteral("受け取ったデータを解析しています..."));
    EXPECT_TRUE(window->progressWheel1()->isVisible());
    window->editField1()->setPlainText(kFixedText + QStringLiteral("追加"));
    box->accept();
    EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 1; }) && waitIdle());
    EXPECT_TRUE(window->hasChanged) << "the edit made during the walk was lost";

    // The walked text back, as if never edited: a replay held at a box in its
    // loop keeps the sequencer, and a second replay waits for it, suspended.
    window->editField1()->setPlainText(kFixedText);
    window->hasChanged = false;
    bool held = false;
    engine::hooks().yieldPoint = [&] {
        if (platform::inCooperativeThread() && !std::exchange(held, true))
            platform::showMessageBox(QStringLiteral("hold"));
        platform::yieldPoint();
    };
    window->PushButton1_Action();
    QMessageBox* hold = waitForMessageBox(QStringLiteral("hold"));
    ASSERT_NE(hold, nullptr);
    window->PushButton1_Action();
    QueuedCallCounter resumes;
    waitUntil([] { return false; }, 100);
    EXPECT_LT(resumes.count, 10) << "the waiting replay is resumed again and again";
    hold->accept();
    EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 3; }) && waitIdle());
    installEngineHooks();
    EXPECT_EQ(service.received.size(), 1u);
    // The unknown word is dropped; everything else comes back, in every window.
    EXPECT_EQ(shownTexts(), Texts(3, kFixedText));
}

TEST_F(Window1Client, AReplyThatCannotBeWalkedLeavesTheLastCompleteWalkOfTheTextToReplay) {
    // The second reply to the same text; it arrives after the first walk has ended.
    const std::tuple<const char*, QByteArray, const char*> cases[] = {
        {"unreadable XML", "<a><b>", "Error: 応答を読めません"},
        {"no word list", "<a><b/></a>", "Error: 語の一覧がありません"},
        {"a word without parts", kWordWithoutParts, "Error: 応答の語を読めません"},
    };
    for (const auto& [name, body, failure] : cases) {
        closeResultWindows();
        QMessageBox* box = startAWalkThatWaits();
        ASSERT_NE(box, nullptr) << name;
        const std::size_t second = service.received.size();
        window->PushButton1_Action(); // the same text, unchanged only once a walk completes
        ASSERT_TRUE(waitUntil([&] {
            return service.received.size() > second &&
                   service.received[second].endsWith("&results=ma");
        })) << name;
        box->accept();
        EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 1; }) && waitIdle()) << name;
        service.reply(second, httpReply(200, body));
        EXPECT_TRUE(waitIdle(failure)) << name << ": " << status().toStdString();
        parse(2);
        EXPECT_EQ(service.received.size(), second + 1) << name << ": the first walk is replayed";
        EXPECT_EQ(shownTexts(), Texts(2, kFixedText)) << name << ": never an empty replay";
    }
}

TEST_F(Window1Client, OverlappingRepliesEachFillTheirOwnSequencer) {
    const QString second = QStringLiteral("山が川");
    const Words kSecondWords = {{"山", "名詞"}, {"が", "助詞"}, {"川", "名詞"}};
    // The input typed as the first walk ends, long after the second reply's
    // (none: the second text left as it was); then whether "Parse" sends it
    // again, and the texts shown in the end (sorted).
    const std::tuple<const char*, QString, bool, Texts> cases[] = {
        {"the first text back: its complete walk is replayed",
         kFixedText,
         false,
         {second, kFixedText, kFixedText}},
        {"the second text kept: the first walk is not its own",
         second,
         true,
         {second, second, kFixedText}},
        {"the second text left untouched: the first walk is still not its own",
         QString(),
         true,
         {second, second, kFixedText}},
    };
    for (const auto& [name, input, sent, texts] : cases) {
        closeResultWindows();
        const std::size_t requests = service.received.size();
        QMessageBox* box = startAWalkThatWaits();
        ASSERT_NE(box, nullptr) << name;
        service.script(httpReply(200, kSecondWords));
        // A second request and reply while the first reply is half walked.
        window->editField1()->setPlainText(second);
        window->PushButton1_Action();
        EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 1; })) << name;
        if (!input.isNull())
            window->editField1()->setPlainText(input);
        box->accept();
        EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 2; }) && waitIdle()) << name;
        if (sent)
            service.script(httpReply(200, kSecondWords));
        parse(3);
        EXPECT_EQ(service.received.size(), requests + 2 + sent) << name;
        EXPECT_EQ(shownTexts(), texts) << name;
    }
}

TEST_F(Window1Client, MainWindowClosedDuringTheFirstArrangementEndsTheParseQuietly) {
    service.script(httpReply(200, kFixedWords));
    window->editField1()->setPlainText(kFixedText);
    QPointer<Window1> doomed = window;
    engine::hooks().yieldPoint = [&] {
        // A replay cursor is set only while the arrangement is read out.
        if (doomed && doomed->mySequence && doomed->mySequence->myPointer >= 0)
            delete doomed.data();
        platform::yieldNow();
    };
    window->PushButton1_Action();
    EXPECT_TRUE(waitUntil([&] { return doomed.isNull(); }));
    waitUntil([] { return false; }, 200); // the parse goes on without its window
    installEngineHooks();
    window = Window1::instance();
    EXPECT_TRUE(resultWindows().empty());
}

TEST_F(Window1Client, ProxySettingsAreReadFromTheStoreAtEveryPress) {
    PreferenceStore store;
    // needProxy, proxyPort; then the socket's proxy address and port.
    const std::tuple<const char*, const char*, const char*, int> cases[] = {
        {"1", " 9081.9x", "proxy", 9081}, // the leading number, truncated
        {"0", "81", "", 0},
        {"1", "0", "proxy", 0},
        {"1 ", "81", "", 0},
    };
    for (const auto& [need, port, address, proxyPort] : cases) {
        store.prefDictionary = {
            {"needProxy", need}, {"proxyAddress", "proxy"}, {"proxyPort", port}};
        window->PushButton1_Action(); // the input is empty: nothing is sent
        EXPECT_TRUE(waitIdle("0文字"));
        EXPECT_EQ(window->tcpSocket1()->httpProxyAddress, address) << need << " / " << port;
        EXPECT_EQ(window->tcpSocket1()->httpProxyPort, proxyPort) << need << " / " << port;
    }
}

} // namespace
