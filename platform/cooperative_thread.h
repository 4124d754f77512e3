#pragma once
// Cooperative worker threads: Boost.Context fibers run on the GUI thread and
// scheduled by the Qt event loop. Only one runs at a time; a worker gives up
// control only at a yield point (or while it waits for a message box).

#include <QString>
#include <memory>

namespace platform {

class CooperativeThread : public std::enable_shared_from_this<CooperativeThread> {
public:
    CooperativeThread();
    virtual ~CooperativeThread();
    CooperativeThread(const CooperativeThread&) = delete;
    CooperativeThread& operator=(const CooperativeThread&) = delete;

    // The threading layer's priority value; 2 is what the program uses.
    void setPriority(int priority) { myPriority = priority; }
    int priority() const { return myPriority; }

    // Schedules the worker on the event loop and returns at once. The scheduler
    // holds a reference until the worker has finished, so the object (and its
    // destructor) lives until then even when the caller lets go of it.
    void Run();

    bool isStarted() const;
    bool isFinished() const;

protected:
    // The worker's body; runs on the fiber.
    virtual void Event_Run() = 0;

private:
    friend class Scheduler;
    int myPriority = 0;
};

// Called at the end of every loop iteration. Outside a worker it does nothing;
// inside one it switches back to the event loop once the worker has used its
// time slice since it was last resumed.
void yieldPoint();

// True while code runs on a worker's fiber.
bool inCooperativeThread();

// A modal message box with an OK button. On a worker it opens the box,
// suspends the worker and returns when the box is answered (no nested event
// loop on a fiber); on the GUI thread it runs the box modally.
void showMessageBox(const QString& text);

// Runs `ask` so that it may open a modal dialog: on a worker the dialog is
// shown with open() and the worker waits; used by the save-file chooser.
// (See the implementation for the exact contract.)

// Destroys every suspended worker (each unwinds its stack). Call before
// QApplication goes away; the application does this at quit.
void shutdownCooperativeThreads();

// Tuning for tests: the time slice after which a yield point switches.
void setTimeSliceMicroseconds(long microseconds);

} // namespace platform
