// Figures for the program itself on one text: from "Parse" to the result
// window shown (request, reply, escaping, walk, merging, first replay), and a
// replay of unchanged text (no request), against a running analysis service.
//
//   parse-bench TEXT_FILE PORT [RUNS]
//
// bench/run-figures starts the service, makes the text and runs this.

#include "app/engine_hooks.h"
#include "platform/cooperative_thread.h"
#include "tests/support/result_windows.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using testing_support::closeResultWindows;
using testing_support::resultWindows;

// Presses "Parse" and returns the milliseconds until a result window shows and
// the worker has finished, or -1 when none appears within 30 s.
double timeOnePress(Window1* window) {
    closeResultWindows();
    QElapsedTimer timer;
    timer.start();
    window->PushButton1_Action();
    while (resultWindows().empty() || window->progressWheel1()->isVisible()) {
        if (timer.elapsed() > 30000)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: parse-bench TEXT_FILE PORT [RUNS]\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "parse-bench: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString text = QString::fromUtf8(file.readAll());
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 21;

    installEngineHooks();
    Window1::setServiceAddressForTesting(
        QStringLiteral("http://127.0.0.1:%1/MAService/V1/parse").arg(argv[2]));
    Window1* window = Window1::instance();

    std::vector<double> parses;
    std::vector<double> replays;
    for (int i = 0; i < runs; ++i) {
        // A changed text (every other run is one character shorter) sends a
        // request; the text stays within the 32,000 bytes the program sends.
        window->editField1()->setPlainText(i % 2 ? text.chopped(1) : text);
        const double parse = timeOnePress(window);
        const double replay = timeOnePress(window);
        if (parse < 0 || replay < 0) {
            std::fprintf(stderr, "parse-bench: no result window (%s)\n",
                         qUtf8Printable(window->staticText1()->text()));
            platform::shutdownCooperativeThreads();
            return 1;
        }
        parses.push_back(parse);
        replays.push_back(replay);
    }
    std::printf("program, Parse to result window: median %7.2f ms (%d runs, %lld bytes)\n",
                median(parses), runs, static_cast<long long>(text.toUtf8().size()));
    std::printf("program, unchanged text replayed: median %7.2f ms\n", median(replays));
    closeResultWindows();
    platform::shutdownCooperativeThreads();
    return 0;
}
