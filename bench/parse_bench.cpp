// The program on a real X display, one text: from a mouse click on "Parse" to
// the first paint of the result window, for a changed text (a request goes to
// the analysis service, the reply is walked and replayed) and for unchanged
// text (replayed from the last reply, no request). In the same loop, turn
// about, the floors those paths stand on: MeCab's parse of the text alone, an
// empty HTTP round trip over loopback and a bare Qt window showing the same
// text; each run's Parse is divided by the sum of that run's floors.
//
// The clicks come back to back (each as soon as the last result is drawn) and
// then at a person's pace (the program idle for 1.2 s before each click, long
// enough for anything the program or the service does when idle). Last, the
// split of one Parse at a person's pace, with the program posting through a
// relay that notes when the request and the reply cross it.
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
#include "bench/mecab_alone.h"
#include "bench/median.h"
#include "bench/timing_relay.h"
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
#include <sys/resource.h>
#include <vector>

namespace {

using testing_support::closeResultWindows;

constexpr int kTimeoutMs = 30000;
constexpr int kPersonsPauseMs = 1200;

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

void idle(int ms) {
    runEventsUntil([] { return false; }, ms);
}

struct Click {
    double paint = -1; // to the first Paint event
    double frame = -1; // to the first frame drawn by the X server
    double faults = 0; // minor page faults from the click to the frame
};

// Clicks "Parse" (press and release through Qt's window-system input, as an X
// button event arrives) and waits for the result window's first frame and the
// end of the worker. False when none appears: a failure on the status line, or
// nothing within the time allowed.
bool clickParse(Window1* window, FirstFrameWatcher& watcher, Click& click) {
    closeResultWindows();
    auto* parse = window->findChild<QPushButton*>(QStringLiteral("PushButton1"));
    if (parse == nullptr || window->windowHandle() == nullptr)
        return false;
    const QPoint at = parse->mapTo(window, parse->rect().center());
    const long faults = minorFaults();
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
    if (!runEventsUntil([&] { return shown() || failed(); }, kTimeoutMs) || !shown()) {
        std::fprintf(stderr, "parse-bench: no result window (status line: %s)\n",
                     qUtf8Printable(window->staticText1()->text()));
        return false;
    }
    click.paint = watcher.paintMs();
    click.frame = watcher.frameMs();
    click.faults = static_cast<double>(minorFaults() - faults);
    return true;
}

// A top-level QPlainTextEdit the size of a result window: shown, then given the
// text, as the program does with its result window. With scrollBarShown, its
// scroll bars are set as the result window's field has them (the vertical one
// always shown), so the text is laid out once; with Qt's defaults the text is
// laid out again when the scroll bar appears. -1 when it never paints.
double showBareWindow(const QString& text, QSize size, bool scrollBarShown,
                      FirstFrameWatcher& watcher) {
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
        return -1;
    return watcher.frameMs();
}

struct Series {
    std::vector<double> parse, parsePaint, parseFaults, replay, replayPaint, replayFaults;
    std::vector<double> mecab, loopback, bare, bareDefaults, ratio;
};

struct Bench {
    Window1* window = nullptr;
    FirstFrameWatcher watcher;
    QString text;
    MecabAlone mecab{ORIZUME_MECAB_DICDIR};
    EmptyHttpServer empty;
    int runs = 21;
    int round = 0; // alternates the text, so that every Parse sends a request

    // Puts a text into the input that differs from the one sent last.
    QString nextText() {
        const QString next = round++ % 2 ? text.chopped(1) : text;
        window->editField1()->setPlainText(next);
        return next;
    }

    // One round: a changed text, the same text again, then the floors. False on a failure.
    bool measure(bool personsPace, Series& series) {
        const QString sent = nextText();
        Click parse, replay;
        if (personsPace)
            idle(kPersonsPauseMs);
        if (!clickParse(window, watcher, parse))
            return false;
        if (personsPace)
            idle(kPersonsPauseMs);
        if (!clickParse(window, watcher, replay))
            return false;
        closeResultWindows();
        const double mecabMs = mecab.timeParse(sent.toStdString());
        const double loopbackMs = timeEmptyRoundTrip(empty.port());
        const QSize size = window->centralWidget()->size();
        const double bareMs = showBareWindow(sent, size, true, watcher);
        const double defaultsMs = personsPace ? 0 : showBareWindow(sent, size, false, watcher);
        if (mecabMs < 0 || loopbackMs < 0 || bareMs < 0 || defaultsMs < 0) {
            std::fprintf(stderr, "parse-bench: a floor failed (%s)\n", mecab.error().c_str());
            return false;
        }
        series.parse.push_back(parse.frame);
        series.parsePaint.push_back(parse.paint);
        series.parseFaults.push_back(parse.faults);
        series.replay.push_back(replay.frame);
        series.replayPaint.push_back(replay.paint);
        series.replayFaults.push_back(replay.faults);
        series.mecab.push_back(mecabMs);
        series.loopback.push_back(loopbackMs);
        series.bare.push_back(bareMs);
        if (!personsPace)
            series.bareDefaults.push_back(defaultsMs);
        series.ratio.push_back(parse.frame / (mecabMs + loopbackMs + bareMs));
        return true;
    }
};

void printLine(const char* what, double ms, const char* note = "") {
    std::printf("  %-60s median %7.2f ms%s\n", what, ms, note);
}

void printSeries(const char* title, const Series& s) {
    std::printf("%s\n", title);
    char note[96];
    std::snprintf(note, sizeof note, "  (first Paint event at %.2f ms; %.0f page faults)",
                  median(s.parsePaint), median(s.parseFaults));
    printLine("Parse, changed text (request), click to first paint:", median(s.parse), note);
    std::snprintf(note, sizeof note, "  (first Paint event at %.2f ms; %.0f page faults)",
                  median(s.replayPaint), median(s.replayFaults));
    printLine("Parse, unchanged text (replay), click to first paint:", median(s.replay), note);
    printLine("MeCab parse alone (this process, the service's dictionary):", median(s.mecab));
    printLine("empty loopback HTTP round trip (new connection):", median(s.loopback));
    printLine("bare Qt window, same text, show() to first paint:", median(s.bare),
              "  (vertical scroll bar always shown, as in the result window)");
    if (!s.bareDefaults.empty())
        printLine("the same with Qt's default scroll bar policy:", median(s.bareDefaults));
    std::printf("  %-60s median %7.2f\n",
                "Parse / (MeCab alone + loopback round trip + bare window):", median(s.ratio));
}

// The split of one Parse at a person's pace: the program posts through a relay.
bool measureSplit(Bench& bench, int servicePort, int runs) {
    TimingRelay relay(servicePort);
    if (relay.port() < 0)
        return false;
    Window1::setServiceAddressForTesting(
        QStringLiteral("http://127.0.0.1:%1/MAService/V1/parse").arg(relay.port()));
    enum { Request, ReplyFirst, ReplyLast, Shown, Exposed, Paint, Frame, Steps };
    std::vector<double> at[Steps];
    for (int i = 0; i < runs; ++i) {
        bench.nextText();
        idle(kPersonsPauseMs);
        relay.forget();
        Click click;
        if (!clickParse(bench.window, bench.watcher, click))
            return false;
        const std::optional<TimingRelay::Exchange> wire = relay.lastExchange();
        if (!wire)
            return false;
        const FirstFrameWatcher& w = bench.watcher;
        const double moments[Steps] = {w.msSinceArm(wire->requestLast),
                                       w.msSinceArm(wire->replyFirst),
                                       w.msSinceArm(wire->replyLast),
                                       w.showMs(),
                                       w.exposeMs(),
                                       w.paintMs(),
                                       w.frameMs()};
        for (int step = 0; step < Steps; ++step)
            at[step].push_back(moments[step]);
    }
    closeResultWindows();
    static const char* const names[Steps] = {"request on the wire (its last byte at the relay)",
                                             "first reply byte",
                                             "last reply byte (then the service closes)",
                                             "result window shown (mapping asked for)",
                                             "result window exposed by the X server",
                                             "first Paint event",
                                             "first frame drawn by the X server"};
    std::printf("split of one Parse at a person's pace, through a timestamping relay (%d runs; "
                "medians from the click, and of each step):\n",
                runs);
    for (int step = 0; step < Steps; ++step) {
        std::vector<double> gaps;
        for (int i = 0; i < runs; ++i)
            gaps.push_back(at[step][i] - (step == 0 ? 0 : at[step - 1][i]));
        std::printf("  %-50s at %7.2f ms  (step %6.2f ms)\n", names[step], median(at[step]),
                    median(gaps));
    }
    return true;
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
    Bench bench;
    bench.text = QString::fromUtf8(file.readAll());
    bench.runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 21;
    const int servicePort = std::atoi(argv[2]);
    if (!bench.mecab.error().empty())
        return fail(bench.mecab.error().c_str());
    if (bench.empty.port() < 0)
        return fail("cannot listen on 127.0.0.1");

    installEngineHooks();
    Window1::setServiceAddressForTesting(
        QStringLiteral("http://127.0.0.1:%1/MAService/V1/parse").arg(servicePort));
    bench.window = Window1::instance();
    if (!QTest::qWaitForWindowExposed(bench.window, kTimeoutMs))
        return fail("the main window was never exposed");

    // One round unmeasured: the first of everything loads fonts, code and the dictionary.
    Series warmUp, backToBack, personsPace;
    if (!bench.measure(false, warmUp))
        return fail("giving up");
    for (int i = 0; i < bench.runs; ++i)
        if (!bench.measure(false, backToBack))
            return fail("giving up");
    for (int i = 0; i < bench.runs; ++i)
        if (!bench.measure(true, personsPace))
            return fail("giving up");

    const QByteArray server = qgetenv("ORIZUME_BENCH_X_SERVER");
    std::printf("click to first paint, X display %s (%s), Qt platform %s; %d runs per pace, "
                "%lld bytes\n",
                display.constData(), server.isEmpty() ? "X server" : server.constData(),
                qUtf8Printable(QGuiApplication::platformName()), bench.runs,
                static_cast<long long>(bench.text.toUtf8().size()));
    std::printf("(first paint: the first frame flushed and drawn by the X server; the floors "
                "are measured in the same loop, turn about)\n");
    printSeries("back to back (each click as soon as the last result is drawn):", backToBack);
    printSeries("at a person's pace (the program idle 1.2 s before each click):", personsPace);
    std::fflush(stdout);
    if (!measureSplit(bench, servicePort, bench.runs))
        return fail("the split through the relay failed");
    platform::shutdownCooperativeThreads();
    return 0;
}
