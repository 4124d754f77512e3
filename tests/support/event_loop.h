#pragma once
// Running the event loop from tests: until a condition holds, or until a
// message box shows.

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <functional>

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

// The visible message box whose text holds `text`, or nullptr.
inline QMessageBox* shownMessageBox(const QString& text = {}) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w);
            box && box->isVisible() && box->text().contains(text))
            return box;
    return nullptr;
}

inline QMessageBox* waitForMessageBox(const QString& text = {}) {
    waitUntil([&] { return shownMessageBox(text) != nullptr; });
    return shownMessageBox(text);
}

} // namespace testing_support
