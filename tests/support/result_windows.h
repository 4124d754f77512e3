#pragma once
// The program's result windows, for tests and benchmarks.

#include "tests/support/event_loop.h"
#include "ui/window2.h"

#include <vector>

namespace testing_support {

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
