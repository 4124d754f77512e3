#pragma once
// Cooperative worker threads: Boost.Context fibers run on the GUI thread and
// scheduled by the Qt event loop. Only one runs at a time; a worker gives up
// control only at a yield point (or while it waits for a message box).
//
// Rules for code that runs on a worker:
// - Never start a nested event loop (QDialog::exec, QMessageBox::exec,
//   QMenu::exec, QEventLoop::exec, processEvents). Use showMessageBox() or
//   runDialog(), which suspend the worker instead. A nested loop would resume
//   other workers on top of this one's stack; they are held back until it
//   returns, so everything stalls behind the innermost loop.
// - A `catch (...)` must re-throw boost::context::detail::forced_unwind first:
//   that exception unwinds a worker that is destroyed while suspended.
// - Do not yield or wait for a dialog inside a catch block: the C++ runtime
//   keeps the exceptions being handled per system thread, not per worker.
// - Hold widgets the worker uses through QPointer: they may go while it waits.
//
// Everything here is for the GUI thread only.

#include <QString>
#include <memory>
#include <vector>

class QDialog;

namespace platform {

class CooperativeThread : public std::enable_shared_from_this<CooperativeThread> {
public:
    CooperativeThread();
    virtual ~CooperativeThread();
    CooperativeThread(const CooperativeThread&) = delete;
    CooperativeThread& operator=(const CooperativeThread&) = delete;

    // The threading layer's priority value; 2 is what the program uses.
    // Every value means the same: workers that are ready to run take turns in
    // the order they became ready (a new worker after those already waiting),
    // one time slice each, and the event loop handles the GUI's pending events
    // between any two turns. The value is kept but does not rank workers.
    void setPriority(int priority) { myPriority = priority; }
    int priority() const { return myPriority; }

    // Schedules the worker on the event loop and returns at once. The scheduler
    // holds a reference until the worker has finished, so the object (and its
    // destructor) lives until then even when the caller lets go of it. The
    // object must be owned by a std::shared_ptr; a worker runs once, later
    // calls do nothing.
    void Run();

    bool isStarted() const;
    bool isFinished() const;

protected:
    // The worker's body; runs on the fiber. An exception that escapes it is
    // reported to the user and ends the worker; the program goes on.
    virtual void Event_Run() = 0;

private:
    friend class Scheduler;
    enum class State { New, Ready, Running, Waiting, Finished };
    struct Fiber; // the fiber and what the scheduler keeps about it

    int myPriority = 0;
    State myState = State::New;
    std::unique_ptr<Fiber> myFiber;
};

// Called at the end of every loop iteration. Outside a worker it does nothing;
// inside one it switches back to the event loop once the worker has used its
// time slice since it was last resumed.
void yieldPoint();

// Switches back to the event loop now, whatever is left of the time slice;
// for a worker that waits for another one. Outside a worker it does nothing.
void yieldNow();

// Something workers wait for, such as a resource another worker holds.
// wait() suspends the calling worker, costing nothing while it waits, until
// notifyAll() wakes it; woken workers are resumed from the event loop and
// should check again what they wait for.
class WaitQueue {
public:
    // On a worker: suspends until woken and returns true. Elsewhere, or on a
    // worker being torn down, returns false at once.
    bool wait();
    // Wakes every worker waiting here; callable anywhere on the GUI thread.
    void notifyAll();

private:
    std::vector<std::weak_ptr<CooperativeThread>> myWaiters;
};

// True while code runs on a worker's fiber.
bool inCooperativeThread();

// A modal message box with an OK button. On a worker it opens the box,
// suspends the worker and returns when the box is answered (no nested event
// loop on a fiber); on the GUI thread it runs the box modally.
void showMessageBox(const QString& text);

// Shows `dialog` modally and returns its result code (QDialog::finished).
// On a worker: opens it with open(), suspends the worker until it finishes
// (other workers and the GUI run meanwhile) and returns the result; returns
// QDialog::Rejected without waiting when the dialog is destroyed first, and
// without showing it when the worker is being torn down. The caller keeps
// ownership; after a return the dialog may be gone if its parent went.
// Elsewhere: dialog.exec().
int runDialog(QDialog& dialog);

// Destroys every suspended worker (each unwinds its stack) and then releases
// the workers. Call before QApplication goes away, from the event loop level
// (not on a worker); the application does this at quit. Workers started
// while this runs are refused. Also runs when the application's event loop
// quits (QCoreApplication::aboutToQuit).
void shutdownCooperativeThreads();

// Tuning for tests: the time slice after which a yield point switches
// (5000 µs by default; 0 switches at every yield point).
void setTimeSliceMicroseconds(long microseconds);
long timeSliceMicroseconds();

} // namespace platform
