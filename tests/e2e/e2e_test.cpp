// The program end to end: its real start-up reads a preferences file that
// points the proxy at the real analysis service on a free loopback port (the
// service accepts the absolute-form target a proxy receives), then "Parse"
// goes through the socket, the workers, the walk and the engine to a result
// window.

#include "app/app.h"
#include "tests/support/result_windows.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

using testing_support::resultWindows;

// The service loads its dictionary and the program starts up: allow more time.
bool waitUntil(const std::function<bool()>& condition) {
    return testing_support::waitUntil(condition, 20000);
}

// The analysis service as a child process on a free port.
class ServiceProcess {
public:
    ServiceProcess() {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(ANALYSIS_SERVICE),
                      {"--address", "127.0.0.1", "--port", "0", "--dicdir", ANALYSIS_DICDIR});
        static const QRegularExpression listening(R"(listening on http://127\.0\.0\.1:(\d+)/)");
        waitUntil([&] {
            log += process.readAll();
            const auto match = listening.match(QString::fromUtf8(log));
            if (match.hasMatch())
                port = match.captured(1).toInt();
            return port != 0 || process.state() == QProcess::NotRunning;
        });
    }
    ~ServiceProcess() {
        process.terminate();
        process.waitForFinished(5000);
    }

    // How many analysis requests the service has logged so far.
    int requestCount() {
        log += process.readAll();
        return static_cast<int>(log.count("/MAService/V1/parse"));
    }

    QProcess process;
    QByteArray log;
    int port = 0;
};

// Units may trade places, so compare what cannot change: the characters as a
// multiset, and the whitespace in order (whitespace words never move).
QString sortedCharacters(const QString& text) {
    std::vector<char32_t> chars;
    for (char32_t c : text.toUcs4())
        chars.push_back(c);
    std::sort(chars.begin(), chars.end());
    return QString::fromUcs4(chars.data(), static_cast<qsizetype>(chars.size()));
}

QString whitespaceOf(const QString& text) {
    QString ws;
    for (QChar c : text)
        if (c == u' ' || c == u'\n' || c == u'\t' || c == u'\u3000')
            ws += c;
    return ws;
}

TEST(EndToEnd, ParseRearrangesRealTextAndReplaysWithoutASecondRequest) {
    ServiceProcess service;
    ASSERT_NE(service.port, 0) << service.log.toStdString();

    QFile prefs(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Orizume.prefs");
    ASSERT_TRUE(prefs.open(QIODevice::WriteOnly));
    prefs.write("needProxy: 1\nproxyAddress: 127.0.0.1\nproxyPort: " +
                QByteArray::number(service.port) + "\n");
    prefs.close();

    App::instance()->startUp();
    Window1* window = Window1::openInstance();
    ASSERT_NE(window, nullptr);

    const QString text =
        QStringLiteral("私は東京大学に行きました。田中さんは勉強する。\n"
                       "雨さえ  降った。\t高いです。高かった。 食べて寝る。\n"
                       "東京と大阪と京都と奈良と神戸と横浜と札幌と福岡と仙台と広島。");
    window->editField1()->setPlainText(text);
    window->PushButton1_Action();
    ASSERT_TRUE(waitUntil([] { return resultWindows().size() == 1; }))
        << window->staticText1()->text().toStdString() << "\n"
        << service.log.toStdString();
    ASSERT_TRUE(waitUntil([&] { return !window->progressWheel1()->isVisible(); }));

    const QString first = resultWindows().front()->editField1()->toPlainText();
    EXPECT_EQ(sortedCharacters(first), sortedCharacters(text)) << first.toStdString();
    EXPECT_EQ(whitespaceOf(first), whitespaceOf(text)) << first.toStdString();
    // Ten place names of two kanji trade places: the same order again has a
    // chance of one in 3,628,800.
    EXPECT_NE(first, text);
    EXPECT_FALSE(window->hasChanged);
    EXPECT_EQ(service.requestCount(), 1);

    window->PushButton1_Action();
    ASSERT_TRUE(waitUntil([] { return resultWindows().size() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return !window->progressWheel1()->isVisible(); }));
    for (Window2* r : resultWindows()) {
        const QString shown = r->editField1()->toPlainText();
        EXPECT_EQ(sortedCharacters(shown), sortedCharacters(text)) << shown.toStdString();
        EXPECT_EQ(whitespaceOf(shown), whitespaceOf(text)) << shown.toStdString();
    }
    EXPECT_EQ(service.requestCount(), 1) << "unchanged text must not be sent again";
}

} // namespace
