// The program on a real X display, one text: from a mouse click on "Parse" to
// the first paint of the result window, for a changed text (a request goes to
// the analysis service, the reply is walked and replayed) and for unchanged
// text (replayed from the last reply, no request). Beside them, the floors
// those paths stand on: an empty HTTP round trip over loopback and a bare Qt
// window showing the same text.
//
//   parse-bench TEXT_FILE PORT [RUNS]
//
// "First paint" is the result window's first frame: the first Paint event of
// any of its widgets, the rest of that frame painted and flushed, and one X
// round trip so the server has drawn it. The X display is $DISPLAY (Xvfb
// under bench/run-figures, which names it in ORIZUME_BENCH_X_SERVER).

#include "app/engine_hooks.h"
#include "bench/first_frame.h"
#include "bench/loopback_round_trip.h"
#include "bench/median.h"
#include "platform/cooperative_thread.h"
#include "tests/support/result_windows.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using testing_support::closeResultWindows;

constexpr int kTimeoutMs = 30000;

struct Timing {
    std::vector<double> paints; // to the first Paint event
    std::vector<double> frames; // to the first frame drawn by the X server
};

// Clicks "Parse" (press and release through Qt's window-system input, as an X
// button event arrives) and waits for the result window's first frame and the
// end of the worker. False when none appears: a failure on the status line, or
// nothing within the time allowed.
bool clickParse(Window1* window, FirstFrameWatcher& watcher, Timing& timing) {
    closeResultWindows();
    auto* parse = window->findChild<QPushButton*>(QStringLiteral("PushButton1"));
    if (parse == nullptr || window->windowHandle() == nullptr)
        return false;
    const QPoint at = parse->mapTo(window, parse->rect().center());
    watcher.arm([](const QWidget* w) { return qobject_cast<const Window2*>(w) != nullptr; });
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
    // Each press resets the status line; a failure shows there as "Error: N" or "Status: N".
    const auto failed = [window] {
        const QString status = window->staticText1()->text();
        return status.startsWith(QLatin1String("Error")) ||
               status.startsWith(QLatin1String("Status"));
    };
    const auto shown = [&] {
        return watcher.frameMs() >= 0 && !window->progressWheel1()->isVisible();
    };
    if (!runEventsUntil([&] { return shown() || failed(); }, kTimeoutMs) || !shown())
        return false;
    timing.paints.push_back(watcher.paintMs());
    timing.frames.push_back(watcher.frameMs());
    return true;
}

// A top-level QPlainTextEdit the size of a result window: shown, then given the
// text, as the program does with its result window. With scrollBarShown, its
// scroll bars are set as the result window's field has them (the vertical one
// always shown), so the text is laid out once; with Qt's defaults the text is
// laid out again when the scroll bar appears. False when it never paints.
bool showBareWindow(const QString& text, QSize size, bool scrollBarShown,
                    FirstFrameWatcher& watcher, Timing& timing) {
    QPlainTextEdit bare;
    bare.resize(size);
    if (scrollBarShown) {
        bare.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        bare.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    watcher.arm([&bare](const QWidget* w) { return w == &bare; });
    bare.show();
    bare.setPlainText(text);
    if (!runEventsUntil([&] { return watcher.frameMs() >= 0; }, kTimeoutMs))
        return false;
    timing.paints.push_back(watcher.paintMs());
    timing.frames.push_back(watcher.frameMs());
    return true;
}

void printTiming(const char* what, const Timing& timing) {
    std::printf("%-54s median %7.2f ms  (first Paint event at %.2f ms)\n", what,
                median(timing.frames), median(timing.paints));
}

int fail(const char* message) {
    std::fprintf(stderr, "parse-bench: %s\n", message);
    platform::shutdownCooperativeThreads();
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: parse-bench TEXT_FILE PORT [RUNS]\n");
        return 2;
    }
    // Offscreen windows report themselves shown before anything is drawn; only
    // a real X server gives a first frame worth timing.
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        std::fprintf(stderr, "parse-bench: needs an X display (bench/run-figures starts Xvfb "
                             "when there is none)\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "parse-bench: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString text = QString::fromUtf8(file.readAll());
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 21;

    installEngineHooks();
    Window1::setServiceAddressForTesting(
        QStringLiteral("http://127.0.0.1:%1/MAService/V1/parse").arg(argv[2]));
    Window1* window = Window1::instance();
    if (!QTest::qWaitForWindowExposed(window, kTimeoutMs))
        return fail("the main window was never exposed");
    FirstFrameWatcher watcher;

    Timing parses;
    Timing replays;
    for (int i = 0; i < runs; ++i) {
        // A changed text (every other run is one character shorter) sends a
        // request; the text stays within the 32,000 bytes the program sends.
        window->editField1()->setPlainText(i % 2 ? text.chopped(1) : text);
        if (!clickParse(window, watcher, parses) || !clickParse(window, watcher, replays)) {
            std::fprintf(stderr, "parse-bench: no result window (status line: %s)\n",
                         qUtf8Printable(window->staticText1()->text()));
            return fail("giving up");
        }
    }
    closeResultWindows();

    std::vector<double> roundTrips;
    {
        const EmptyHttpServer server;
        if (server.port() < 0)
            return fail("cannot listen on 127.0.0.1");
        for (int i = 0; i < std::max(runs, 101); ++i) {
            const double ms = timeEmptyRoundTrip(server.port());
            if (ms < 0)
                return fail("the empty loopback round trip failed");
            roundTrips.push_back(ms);
        }
    }

    Timing bare;
    Timing bareDefaults;
    const QSize resultSize = window->centralWidget()->size();
    for (int i = 0; i < runs; ++i)
        if (!showBareWindow(text, resultSize, true, watcher, bare) ||
            !showBareWindow(text, resultSize, false, watcher, bareDefaults))
            return fail("the bare window never painted");

    const QByteArray server = qgetenv("ORIZUME_BENCH_X_SERVER");
    std::printf("click to first paint, X display %s (%s), Qt platform %s; %d runs, %lld bytes\n",
                display.constData(), server.isEmpty() ? "X server" : server.constData(),
                qUtf8Printable(QGuiApplication::platformName()), runs,
                static_cast<long long>(text.toUtf8().size()));
    std::printf("(first paint: the first frame flushed and drawn by the X server)\n");
    printTiming("Parse, changed text (request), click to first paint:", parses);
    printTiming("Parse, unchanged text (replay), click to first paint:", replays);
    std::printf("%-54s median %7.2f ms  (%zu runs, tiny request and reply)\n",
                "empty loopback HTTP round trip (new connection):", median(roundTrips),
                roundTrips.size());
    printTiming("bare Qt window, same text, show() to first paint:", bare);
    std::printf("  (a top-level QPlainTextEdit, vertical scroll bar always shown as in the result "
                "window)\n");
    printTiming("the same with Qt's default scroll bar policy:", bareDefaults);
    platform::shutdownCooperativeThreads();
    return 0;
}
