#pragma once
// When a new top-level window first reaches the screen: the first Paint event
// any of its widgets receives, and the moment that frame has been handed to the
// X server and the server has processed it.

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QWidget;

class FirstFrameWatcher : public QObject {
public:
    using WindowTest = std::function<bool(const QWidget* window)>;

    // Watches every widget of the application (an application-wide event filter).
    FirstFrameWatcher();
    ~FirstFrameWatcher() override;

    // Starts a measurement now, for the first top-level window that passes isTarget.
    void arm(WindowTest isTarget);
    // Milliseconds from arm() to the first Paint event of the window; -1 before it.
    double paintMs() const { return paintMs_; }
    // Milliseconds from arm() to its first frame processed by the X server; -1 before it.
    double frameMs() const { return frameMs_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    double elapsedMs() const;

    QElapsedTimer clock_;
    WindowTest isTarget_;
    unsigned generation_ = 0; // tells a flush check of an earlier measurement from this one's
    double paintMs_ = -1;
    double frameMs_ = -1;
};

// Runs the event loop (blocking between events, as the program does) until done()
// holds or the time is up; false when the time ran out.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);
