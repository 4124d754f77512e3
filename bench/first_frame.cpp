#include "bench/first_frame.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
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
    paintMs_ = -1;
    frameMs_ = -1;
    clock_.start();
}

double FirstFrameWatcher::elapsedMs() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e6;
}

bool FirstFrameWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint || paintMs_ >= 0 || !isTarget_ || !watched->isWidgetType())
        return false;
    if (!isTarget_(static_cast<QWidget*>(watched)->window()))
        return false;
    paintMs_ = elapsedMs();
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
