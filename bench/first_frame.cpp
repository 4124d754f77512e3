#include "bench/first_frame.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <utility>
#include <xcb/xcb.h>

namespace {

// One X round trip. Requests of one client are processed in order, so when the
// reply arrives every request Qt sent before it (the frame's image) has been
// drawn by the server.
void waitForXServer() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    xcb_connection_t* connection = x11->connection();
    const std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr),
        &std::free);
}

} // namespace

FirstFrameWatcher::FirstFrameWatcher() {
    QCoreApplication::instance()->installEventFilter(this);
}

FirstFrameWatcher::~FirstFrameWatcher() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void FirstFrameWatcher::arm(WindowTest isTarget) {
    isTarget_ = std::move(isTarget);
    ++generation_;
    showMs_ = -1;
    exposeMs_ = -1;
    paintMs_ = -1;
    frameMs_ = -1;
    armedAt_ = std::chrono::steady_clock::now();
}

double FirstFrameWatcher::msSinceArm(std::chrono::steady_clock::time_point when) const {
    return std::chrono::duration<double, std::milli>(when - armedAt_).count();
}

double FirstFrameWatcher::elapsedMs() const {
    return msSinceArm(std::chrono::steady_clock::now());
}

// A widget of the target window, or the target's own window-system window.
bool FirstFrameWatcher::isTargetWindow(QObject* watched) const {
    if (watched->isWidgetType())
        return isTarget_(static_cast<QWidget*>(watched)->window());
    if (!watched->isWindowType())
        return false;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == watched)
            return isTarget_(w);
    return false;
}

bool FirstFrameWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (!isTarget_)
        return false;
    double* moment = nullptr;
    switch (event->type()) {
    case QEvent::Show:
        moment = watched->isWidgetType() ? &showMs_ : nullptr;
        break;
    case QEvent::Expose:
        moment = watched->isWindowType() ? &exposeMs_ : nullptr;
        break;
    case QEvent::Paint:
        moment = watched->isWidgetType() ? &paintMs_ : nullptr;
        break;
    default:
        break;
    }
    if (moment == nullptr || *moment >= 0 || !isTargetWindow(watched))
        return false;
    // Only the top-level widget's own Show counts: its children are shown with it.
    if (moment == &showMs_ && !static_cast<QWidget*>(watched)->isWindow())
        return false;
    *moment = elapsedMs();
    if (moment != &paintMs_)
        return false;
    // Qt paints all of a window's dirty widgets and flushes the result to the
    // window system within the one event that sent this Paint; a call queued
    // now runs once that event is done, so the frame has left the program.
    const unsigned generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation != generation_)
                return;
            waitForXServer();
            frameMs_ = elapsedMs();
        },
        Qt::QueuedConnection);
    return false;
}

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    bool timedOut = false;
    // Checked each time the loop has run out of events and is about to sleep:
    // no polling timer wakes it, and the times themselves are taken when the
    // events happen, not when this notices them.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, [&] {
                         if (done())
                             loop.quit();
                     });
    QTimer::singleShot(timeoutMs, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    loop.exec();
    return !timedOut || done();
}
