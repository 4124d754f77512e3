// "Parse" end to end inside the program: the main window against a scripted
// service on loopback, through the real socket, workers and engine.

#include "app/engine_hooks.h"
#include "client/reply_walk.h"
#include "engine/hooks.h"
#include "engine/morpheme_resource.h"
#include "engine/sequencer.h"
#include "fake_service.h"
#include "platform/cooperative_thread.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

using testing_support::closeResultWindows;
using testing_support::FakeService;
using testing_support::httpReply;
using testing_support::replyXml;
using testing_support::resultWindows;
using testing_support::waitUntil;

namespace {

QColor statusColor(Window1* w) {
    return w->staticText1()->palette().color(QPalette::WindowText);
}

// Units that no reordering moves (one-character nouns, particles, whitespace
// and punctuation), so the rearranged text is predictable.
const std::vector<std::pair<std::string, std::string>> kFixedWords = {
    {"私", "名詞"}, {"は", "助詞"}, {" ", "特殊"},  {"犬", "名詞"},
    {"。", "特殊"}, {"\n", "特殊"}, {"\t", "特殊"}, {"猫", "名詞"},
};
const QString kFixedText = QStringLiteral("私は 犬。\n\t猫");

// A word of an unknown part of speech makes the walk show a message box and
// wait for it: a fixed point in the middle of a walk at which the test acts.
QMessageBox* waitForMessageBox() {
    QMessageBox* box = nullptr;
    waitUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                box = b;
        return box != nullptr;
    });
    return box;
}

std::vector<std::pair<std::string, std::string>>
withUnknownWord(std::vector<std::pair<std::string, std::string>> words) {
    words.insert(words.begin() + 2, {"謎", "未知語"});
    return words;
}

// The texts of the result windows now shown, sorted.
std::vector<QString> shownTexts() {
    std::vector<QString> texts;
    for (Window2* r : resultWindows())
        texts.push_back(r->editField1()->toPlainText());
    std::sort(texts.begin(), texts.end());
    return texts;
}

// Counts the queued calls delivered while it exists.
struct QueuedCallCounter : QObject {
    QueuedCallCounter() { qApp->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::MetaCall;
        return false;
    }
    int count = 0;
};

class Window1Client : public ::testing::Test {
protected:
    void SetUp() override {
        installEngineHooks(); // yield points switch workers, as in the program
        window = Window1::instance();
        ASSERT_NE(window, nullptr);
        Window1::setServiceAddressForTesting(service.address());
        closeResultWindows();
        window->editField1()->clear();
        window->myErrorCode = 0;
    }

    void TearDown() override {
        // Let every worker finish before the next test.
        waitUntil([this] { return !window->progressWheel1()->isVisible(); });
        closeResultWindows();
        Window1::setServiceAddressForTesting(QString());
    }

    // Presses "Parse" and waits until a worker has finished (the wheel is off
    // again) and, when expected, a result window has appeared.
    void parse(std::size_t expectedWindows) {
        window->PushButton1_Action();
        EXPECT_TRUE(waitUntil([&] { return resultWindows().size() >= expectedWindows; }))
            << "result windows: " << resultWindows().size();
        EXPECT_TRUE(waitUntil([&] {
            return !window->progressWheel1()->isVisible() &&
                   !window->staticText1()->text().endsWith("...");
        }));
    }

    FakeService service;
    Window1* window = nullptr;
};

TEST_F(Window1Client, RequestGoesOutAsTheServiceExpects) {
    service.script(httpReply(200, replyXml(kFixedWords)));
    // The field's own text: a no-break space and a line separator go out as they are.
    window->editField1()->setPlainText(QStringLiteral("50% (half)+日本\u00a0\u2028\n"));
    parse(1);
    ASSERT_EQ(service.requests.size(), 1u);
    const QByteArray request = service.requests.front();
    const QByteArray body = "appid=PebbleRotator&sentence=50%25+%28half%29%2B" +
                            QByteArray("日本\xc2\xa0\xe2\x80\xa8%0A&results=ma");
    EXPECT_TRUE(request.startsWith("POST /MAService/V1/parse HTTP/1.0\r\n")) << request.data();
    EXPECT_TRUE(request.endsWith("\r\n\r\n" + body)) << request.data();
    EXPECT_TRUE(request.contains("\r\nContent-length: " + QByteArray::number(body.size())));
    EXPECT_TRUE(request.contains("Content-type: application/x-www-form-urlencoded"));
    EXPECT_TRUE(request.contains("Host: 127.0.0.1:" + QByteArray::number(service.port())));
    EXPECT_TRUE(request.contains("User-Agent: Orizume " ORIZUME_SHORT_VERSION "; PPC\r\n"));
    EXPECT_FALSE(request.contains("Accept"));
}

TEST_F(Window1Client, ReplyOpensResultWindowAndUnchangedTextIsReplayedWithoutRequest) {
    service.script(httpReply(200, replyXml(kFixedWords)));
    // Unchanged is judged against the text sent, no-break space and all.
    window->editField1()->setPlainText(kFixedText + QChar(0x00a0));
    ASSERT_TRUE(window->hasChanged);
    parse(1);
    EXPECT_EQ(shownTexts(), std::vector<QString>{kFixedText});
    EXPECT_FALSE(window->hasChanged);
    EXPECT_EQ(window->staticText1()->text(), QStringLiteral("9文字"));
    EXPECT_EQ(statusColor(window), QColor(0, 0, 0));

    parse(2);
    EXPECT_EQ(service.connections, 1) << "unchanged text must not be sent again";
    EXPECT_EQ(shownTexts(), std::vector<QString>(2, kFixedText));
}

TEST_F(Window1Client, FailedStatusIsReportedAndAppendedToTheInput) {
    service.script(httpReply(404, "<html>not here</html>"));
    window->editField1()->setPlainText(QStringLiteral("こんにちは"));
    window->PushButton1_Action();
    ASSERT_TRUE(waitUntil([&] { return window->staticText1()->text() == "Status: 404"; }));
    EXPECT_EQ(statusColor(window), QColor(255, 0, 0));
    EXPECT_EQ(window->editField1()->toPlainText(),
              QStringLiteral("こんにちは\n何らかの理由でサービスを利用できません。"));
    EXPECT_TRUE(window->hasChanged);
    EXPECT_EQ(window->myErrorCode, 404);
    EXPECT_TRUE(resultWindows().empty());
}

TEST_F(Window1Client, TransportFailuresShowErrorInRedAndChangeNothingElse) {
    for (const QByteArray& raw : {QByteArray(), QByteArray("HTTP/1.0 200 OK\r\nContent-Ty")}) {
        // A good reply before, so a silent failure would be judged by its 200.
        window->myErrorCode = 200;
        service.script(raw);
        window->editField1()->setPlainText(QStringLiteral("テスト"));
        window->PushButton1_Action();
        EXPECT_TRUE(waitUntil([&] { return window->staticText1()->text().startsWith("Error: "); }))
            << raw.data() << ": " << window->staticText1()->text().toStdString();
        EXPECT_EQ(statusColor(window), QColor(255, 0, 0)) << raw.data();
        EXPECT_EQ(window->editField1()->toPlainText(), QStringLiteral("テスト")) << raw.data();
        EXPECT_TRUE(resultWindows().empty()) << raw.data();
    }
}

TEST_F(Window1Client, UnreadableReplyIsReportedAndKeepsTheInputChanged) {
    const QByteArray bodies[] = {"<ResultSet><ma_result>", "<a><b/></a>", "Service Unavailable"};
    for (const QByteArray& body : bodies) {
        service.script(httpReply(200, body));
        window->editField1()->setPlainText(QStringLiteral("壊れた応答"));
        window->PushButton1_Action();
        // Waits for the parse to end, not only the request thread (the reply comes later).
        EXPECT_TRUE(waitUntil([&] {
            return !window->progressWheel1()->isVisible() &&
                   window->staticText1()->text().startsWith("Error: ");
        })) << body.data();
        EXPECT_EQ(statusColor(window), QColor(255, 0, 0)) << body.data();
        const QLabel* status = window->staticText1();
        EXPECT_LE(status->fontMetrics().horizontalAdvance(status->text()), status->width())
            << body.data() << ": the report must fit the status line";
        EXPECT_TRUE(window->hasChanged) << body.data();
        EXPECT_TRUE(resultWindows().empty()) << body.data();
    }
}

TEST_F(Window1Client, EmptyOrOverLongInputSendsNothing) {
    window->PushButton1_Action();
    EXPECT_TRUE(waitUntil([&] { return !window->progressWheel1()->isVisible(); }));
    EXPECT_EQ(window->staticText1()->text(), QStringLiteral("0文字"));
    // 10,667 kana are 32,001 bytes: refused although far below 32000 characters.
    window->editField1()->setPlainText(QString(10667, QChar(u'あ')));
    window->PushButton1_Action();
    QMessageBox* box = waitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("ちょっと文章長過ぎ"));
    EXPECT_EQ(window->staticText1()->text(), QStringLiteral("10667文字"));
    box->accept();
    EXPECT_TRUE(waitUntil([&] { return !window->progressWheel1()->isVisible(); }));
    EXPECT_EQ(service.connections, 0);
    EXPECT_TRUE(resultWindows().empty());
}

TEST_F(Window1Client, ReplayWaitsWithoutSpinningAndAnEditDuringTheWalkIsKept) {
    service.script(httpReply(200, replyXml(withUnknownWord(kFixedWords))));
    window->editField1()->setPlainText(kFixedText);
    window->PushButton1_Action();
    QMessageBox* box = waitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("予期しない形態素です: 未知語"));
    // The walk holds its new sequencer while the box waits; a replay of it waits too.
    window->hasChanged = false;
    window->PushButton1_Action();
    QueuedCallCounter resumes; // a worker is resumed by a queued call
    waitUntil([] { return false; }, 100);
    EXPECT_LT(resumes.count, 10) << "the waiting replay is resumed again and again";
    window->editField1()->setPlainText(kFixedText + QStringLiteral("追加"));
    box->accept();
    EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return !window->progressWheel1()->isVisible(); }));
    EXPECT_TRUE(window->hasChanged) << "the edit made during the walk was lost";
    // The unknown word is dropped; everything else comes back, in both windows.
    EXPECT_EQ(shownTexts(), std::vector<QString>(2, kFixedText));
}

TEST_F(Window1Client, OverlappingRepliesEachFillTheirOwnSequencer) {
    const std::vector<std::pair<std::string, std::string>> second = {
        {"山", "名詞"}, {"が", "助詞"}, {" ", "特殊"}, {"川", "名詞"}};
    service.script(httpReply(200, replyXml(withUnknownWord(kFixedWords))));
    service.script(httpReply(200, replyXml(second)));
    window->editField1()->setPlainText(kFixedText);
    window->PushButton1_Action();
    QMessageBox* box = waitForMessageBox();
    ASSERT_NE(box, nullptr);
    // A second request and reply while the first reply is half walked.
    window->editField1()->setPlainText(QStringLiteral("山が 川"));
    window->PushButton1_Action();
    EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 1; }));
    // The first text back in the input as its walk ends: the replay belongs to
    // the second reply now, so the first text must be sent again.
    window->editField1()->setPlainText(kFixedText);
    box->accept();
    EXPECT_TRUE(waitUntil([&] { return resultWindows().size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return !window->progressWheel1()->isVisible(); }));
    service.script(httpReply(200, replyXml(kFixedWords)));
    parse(3);
    EXPECT_EQ(service.connections, 3) << "the first text was replayed from the second reply";
    std::vector<QString> expected{kFixedText, kFixedText, QStringLiteral("山が 川")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shownTexts(), expected);
}

TEST_F(Window1Client, MainWindowClosedDuringTheFirstArrangementEndsTheParseQuietly) {
    service.script(httpReply(200, replyXml(kFixedWords)));
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

TEST_F(Window1Client, ReplayKeepsItsSequencerWhenANewReplyReplacesIt) {
    // A reply walked while a replay of unchanged input waits at a yield point
    // replaces mySequence; the replay must go on with the sequencer it started on.
    window->editField1()->setPlainText(kFixedText);
    ASSERT_NE(window->parseXML(morphemeResource::replaceAllTheSpecialCharactersToSymbol(replyXml(kFixedWords).toStdString()), nullptr),
              nullptr);
    window->hasChanged = false;
    bool replaced = false;
    engine::hooks().yieldPoint = [&] {
        if (platform::inCooperativeThread() && !replaced) {
            replaced = true;
            auto other = std::make_shared<sequencerClass>();
            other->Constructor();
            other->appendSequence("名詞", "山");
            window->mySequence = other; // the old sequencer's last other owner lets go
        }
        platform::yieldPoint();
    };
    parse(1);
    installEngineHooks();
    EXPECT_TRUE(replaced);
    EXPECT_EQ(service.connections, 0);
    EXPECT_EQ(shownTexts(), std::vector<QString>{kFixedText});
}

} // namespace
