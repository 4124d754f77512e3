#pragma once
// Helpers for driving the program's windows from tests and benchmarks.

#include "ui/window2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <functional>
#include <vector>

namespace testing_support {

// Processes events until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The result windows now shown.
inline std::vector<Window2*> resultWindows() {
    std::vector<Window2*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* r = qobject_cast<Window2*>(w); r && r->isVisible())
            windows.push_back(r);
    return windows;
}

inline void closeResultWindows() {
    for (Window2* r : resultWindows())
        r->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace testing_support
