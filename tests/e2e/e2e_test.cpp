// The program end to end: its real start-up reads a preferences file that
// points the proxy at the real analysis service on a free loopback port (the
// service takes the absolute-form target a proxy sends), then "Parse" goes
// through the socket, the workers, the walk and the engine to a result window.

#include "app/app.h"
#include "tests/support/result_windows.h"
#include "ui/window1.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <iterator>
#include <string>

namespace {

// The service loads its dictionary and the program starts up: allow more time.
bool waitLong(const std::function<bool()>& condition) {
    return testing_support::waitUntil(condition, 20000);
}

// What no rearrangement changes: the characters as a multiset, and the
// whitespace in order (whitespace words never move).
std::pair<std::u32string, std::u32string> unmoved(const QString& text) {
    std::u32string all = text.toStdU32String(), blanks;
    std::copy_if(all.begin(), all.end(), std::back_inserter(blanks), [](char32_t c) {
        return c == U' ' || c == U'\n' || c == U'\t' || c == U'\u3000';
    });
    std::sort(all.begin(), all.end());
    return {all, blanks};
}

TEST(EndToEnd, ParseRearrangesRealTextAndReplaysWithoutASecondRequest) {
    // Killed when the test ends early (QProcess's destructor) and when the test itself dies,
    // crashed or killed at its time limit (the signal its parent's death sends).
    QProcess service;
    service.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    service.setProcessChannelMode(QProcess::MergedChannels);
    service.start(QStringLiteral(ANALYSIS_SERVICE),
                  {"--address", "127.0.0.1", "--port", "0", "--dicdir", ANALYSIS_DICDIR});
    QByteArray log; // one line per request
    const auto requests = [&] {
        log += service.readAll();
        return log.count("/MAService/V1/parse");
    };
    static const QRegularExpression listening(R"(listening on http://127\.0\.0\.1:(\d+)/)");
    int port = 0;
    waitLong([&] {
        requests();
        port = listening.match(QString::fromUtf8(log)).captured(1).toInt();
        return port != 0 || service.state() == QProcess::NotRunning;
    });
    ASSERT_NE(port, 0) << log.toStdString();

    QFile prefs(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Orizume.prefs");
    ASSERT_TRUE(prefs.open(QIODevice::WriteOnly));
    prefs.write("needProxy: 1\nproxyAddress: 127.0.0.1\nproxyPort: " + QByteArray::number(port) +
                "\n");
    prefs.close();
    App::instance()->startUp();
    Window1* window = Window1::openInstance();
    ASSERT_NE(window, nullptr);

    const QString text =
        QStringLiteral("私は東京大学に行きました。田中さんは勉強する。\n"
                       "雨さえ  降った。\t高いです。高かった。 食べて寝る。\n"
                       "東京と大阪と京都と奈良と神戸と横浜と札幌と福岡と仙台と広島。");
    window->editField1()->setPlainText(text);
    for (std::size_t press = 1; press <= 2; ++press) {
        window->PushButton1_Action();
        ASSERT_TRUE(waitLong([&] { return testing_support::resultWindows().size() == press; }))
            << window->staticText1()->text().toStdString() << "\n"
            << log.toStdString();
        ASSERT_TRUE(waitLong([&] { return !window->progressWheel1()->isVisible(); }));
        for (Window2* r : testing_support::resultWindows())
            EXPECT_EQ(unmoved(r->editField1()->toPlainText()), unmoved(text))
                << r->editField1()->toPlainText().toStdString();
        EXPECT_FALSE(window->hasChanged);
        EXPECT_EQ(requests(), 1) << "unchanged text must not be sent again";
    }
    // Ten place names of two kanji trade places: the same order again has a
    // chance of one in 3,628,800.
    EXPECT_NE(testing_support::resultWindows().front()->editField1()->toPlainText(), text);
    service.terminate();
    ASSERT_TRUE(service.waitForFinished(5000)) << "the service did not stop on SIGTERM";
    requests();
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(service.exitCode(), 0) << log.toStdString();
}

} // namespace
