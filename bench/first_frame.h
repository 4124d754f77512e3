#pragma once
// When a new top-level window first reaches the screen: when it is shown (the
// program asks for it to be mapped), when the window system first exposes it,
// the first Paint event any of its widgets receives, and the moment that frame
// has been handed to the X server and the server has processed it.

#include <QObject>
#include <chrono>
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
    // Milliseconds from arm() to the window's Show event; -1 before it.
    double showMs() const { return showMs_; }
    // Milliseconds from arm() to the window's first Expose event; -1 before it.
    double exposeMs() const { return exposeMs_; }
    // Milliseconds from arm() to the first Paint event of the window; -1 before it.
    double paintMs() const { return paintMs_; }
    // Milliseconds from arm() to its first frame processed by the X server; -1 before it.
    double frameMs() const { return frameMs_; }
    // Milliseconds from arm() to a moment of the steady clock.
    double msSinceArm(std::chrono::steady_clock::time_point when) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    double elapsedMs() const;
    bool isTargetWindow(QObject* watched) const;

    std::chrono::steady_clock::time_point armedAt_;
    WindowTest isTarget_;
    unsigned generation_ = 0; // tells a flush check of an earlier measurement from this one's
    double showMs_ = -1;
    double exposeMs_ = -1;
    double paintMs_ = -1;
    double frameMs_ = -1;
};

// Runs the event loop (blocking between events, as the program does) until done()
// holds or the time is up; false when the time ran out.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);
