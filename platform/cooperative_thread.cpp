#include "platform/cooperative_thread.h"

#include "platform/program_name.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <boost/context/fiber.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>
#include <vector>

namespace platform {

namespace ctx = boost::context;
using Clock = std::chrono::steady_clock;

namespace {

// A message box alone needs about 90 KiB; the parse walk and Qt's text code
// run here too. Pages are only committed when touched, and a guard page turns
// an overflow into a clean crash instead of corrupting the heap.
constexpr std::size_t kStackSize = 1024 * 1024;

// A fiber switch costs ~13 ns but a trip through the event loop ~2 µs (far
// more when a widget repaints), so a yield point only switches once the
// worker has run this long since it was resumed.
std::chrono::microseconds timeSlice{5000};

// The worker whose fiber is running on this system thread, if any.
thread_local CooperativeThread* current = nullptr;

bool onGuiThread() {
    const auto* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

// Deletes a widget at scope exit unless its parent already has.
class WidgetGuard {
public:
    explicit WidgetGuard(QWidget* widget) : myWidget(widget) {}
    ~WidgetGuard() { delete myWidget.data(); }
    WidgetGuard(const WidgetGuard&) = delete;
    WidgetGuard& operator=(const WidgetGuard&) = delete;

private:
    QPointer<QWidget> myWidget;
};

// Disconnects at scope exit, so a worker unwound while it waits leaves no
// handler behind that points at its stack.
class ConnectionGuard {
public:
    ~ConnectionGuard() {
        for (const auto& c : myConnections)
            QObject::disconnect(c);
    }
    void add(QMetaObject::Connection c) { myConnections.push_back(std::move(c)); }

private:
    std::vector<QMetaObject::Connection> myConnections;
};

// Tells the user that a worker stopped on an exception. Runs on the event
// loop after the worker has ended; the box does not hold anything up.
void reportFailure(const QString& what) {
    qWarning("A worker thread stopped on an exception: %s", qUtf8Printable(what));
    auto* box = new QMessageBox(QMessageBox::Warning, programName(),
                                QStringLiteral("処理中にエラーが発生しました: ") + what,
                                QMessageBox::Ok, QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

struct CooperativeThread::Fiber {
    ctx::fiber self;        // the worker while it is suspended
    ctx::fiber caller;      // the event loop while the worker runs
    bool created = false;   // the fiber (and its stack) exists or existed
    bool unwinding = false; // being destroyed: never suspend again
    Clock::time_point resumedAt;
    int dialogResult = QDialog::Rejected;
    QString failure; // what escaped the body, reported once it ended
    bool failed = false;
};

// Owns every started, unfinished worker and resumes them from the event loop.
class Scheduler {
public:
    using State = CooperativeThread::State;

    static Scheduler& instance() {
        static Scheduler scheduler;
        return scheduler;
    }

    void start(const std::shared_ptr<CooperativeThread>& t) {
        if (t->myState != State::New)
            return;
        if (!onGuiThread() || myShuttingDown) {
            qWarning("A worker thread was started off the GUI thread or during shutdown; it does "
                     "not run");
            return;
        }
        t->myState = State::Ready;
        myLive.push_back(t);
        post(t);
    }

    // True on a worker that is being destroyed: it must not suspend again.
    static bool unwinding() { return current != nullptr && current->myFiber->unwinding; }

    static void yieldIfSliceUsed() {
        CooperativeThread* t = current;
        if (t == nullptr || t->myFiber->unwinding)
            return;
        if (Clock::now() - t->myFiber->resumedAt < timeSlice)
            return;
        suspend(*t);
    }

    static void yieldAlways() {
        CooperativeThread* t = current;
        if (t == nullptr || t->myFiber->unwinding)
            return;
        suspend(*t);
    }

    // On a worker: back to the event loop until resumed.
    static void suspend(CooperativeThread& t) {
        auto& f = *t.myFiber;
        f.caller = std::move(f.caller).resume();
    }

    // On a worker: suspended until wake() makes it ready again.
    static void suspendWaiting(CooperativeThread& t) {
        t.myState = State::Waiting;
        suspend(t);
    }

    void wake(const std::weak_ptr<CooperativeThread>& weak) {
        auto t = weak.lock();
        if (!t || t->myState != State::Waiting)
            return;
        t->myState = State::Ready;
        post(weak); // the waker may be a worker: resume only from the event loop
    }

    int waitForDialog(CooperativeThread& t, QDialog& dialog) {
        auto& f = *t.myFiber;
        std::weak_ptr<CooperativeThread> weak = t.weak_from_this();
        auto wake = [this, weak](int result) {
            auto w = weak.lock();
            if (!w || w->myState != State::Waiting)
                return;
            w->myFiber->dialogResult = result;
            w->myState = State::Ready;
            // The dialog may finish inside a signal emitted on another
            // worker: resume only from the event loop.
            post(weak);
        };
        ConnectionGuard connections;
        connections.add(QObject::connect(&dialog, &QDialog::finished, context(), wake));
        connections.add(QObject::connect(&dialog, &QObject::destroyed, context(),
                                         [wake] { wake(QDialog::Rejected); }));
        f.dialogResult = QDialog::Rejected;
        t.myState = State::Waiting;
        dialog.open();
        suspend(t);
        return f.dialogResult;
    }

    void shutdown() {
        if (current != nullptr) {
            qWarning("shutdownCooperativeThreads called on a worker thread; ignored");
            return;
        }
        if (myShuttingDown)
            return; // called again from a destructor that runs below
        myShuttingDown = true;
        auto workers = std::exchange(myLive, {});
        for (const auto& t : workers)
            unwind(*t);
        // Destructors run here, after every stack is unwound.
        workers.clear();
        myDeferred.clear();
        // Drops the queued resumes that are still pending.
        myContext.reset();
        myShuttingDown = false;
    }

private:
    QObject* context() {
        if (!myContext)
            myContext = std::make_unique<QObject>();
        if (!myQuitHooked) {
            // The scheduler outlives the application, so no receiver object:
            // the handler may then reset myContext freely.
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                             [this] { shutdown(); });
            myQuitHooked = true;
        }
        return myContext.get();
    }

    void post(std::weak_ptr<CooperativeThread> weak) {
        QMetaObject::invokeMethod(
            context(), [this, weak = std::move(weak)] { resume(weak); }, Qt::QueuedConnection);
    }

    void resume(const std::weak_ptr<CooperativeThread>& weak) {
        auto t = weak.lock();
        if (!t || t->myState != State::Ready)
            return;
        if (current != nullptr) {
            // Someone runs a nested event loop on a worker. Switching from
            // there would stack this worker on top of that one; wait until
            // the event loop proper has control again.
            myDeferred.push_back(weak);
            return;
        }
        auto& f = *t->myFiber;
        if (!f.created) {
            try {
                f.self = makeFiber(*t);
                f.created = true;
            } catch (const std::exception& e) {
                f.failed = true;
                f.failure = QString::fromUtf8(e.what());
                finish(t);
                return;
            }
        }
        t->myState = State::Running;
        f.resumedAt = Clock::now();
        current = t.get();
        f.self = std::move(f.self).resume();
        current = nullptr;
        if (!f.self)
            finish(t);
        else if (t->myState == State::Running) {
            // Yielded: queue behind whatever the event loop has waiting.
            t->myState = State::Ready;
            post(weak);
        }
        // Waiting: the dialog's end posts the resume.
        for (auto& w : std::exchange(myDeferred, {}))
            post(std::move(w));
    }

    static ctx::fiber makeFiber(CooperativeThread& t) {
        return ctx::fiber(std::allocator_arg, ctx::protected_fixedsize_stack(kStackSize),
                          [&t](ctx::fiber&& caller) {
                              auto& f = *t.myFiber;
                              f.caller = std::move(caller);
                              // An exception leaving the fiber's entry would
                              // terminate the program: stop it here. Only
                              // record it; reporting happens on the event loop.
                              try {
                                  t.Event_Run();
                              } catch (const ctx::detail::forced_unwind&) {
                                  throw;
                              } catch (const std::exception& e) {
                                  f.failed = true;
                                  f.failure = QString::fromUtf8(e.what());
                              } catch (...) {
                                  f.failed = true;
                                  f.failure = QStringLiteral("unknown exception");
                              }
                              return std::move(f.caller);
                          });
    }

    // The worker has ended: release the scheduler's reference here, on the
    // event loop, so the destructor never runs on the worker's own stack.
    void finish(std::shared_ptr<CooperativeThread>& t) {
        t->myState = State::Finished;
        auto& f = *t->myFiber;
        if (f.failed) {
            f.failed = false;
            reportFailure(f.failure);
        }
        auto it = std::find(myLive.begin(), myLive.end(), t);
        if (it != myLive.end())
            myLive.erase(it);
    }

    // Destroys a suspended worker's fiber: Boost throws forced_unwind on it,
    // which runs the destructors of everything on its stack.
    static void unwind(CooperativeThread& t) {
        auto& f = *t.myFiber;
        t.myState = State::Finished;
        if (f.self) {
            f.unwinding = true;
            current = &t;
            { ctx::fiber doomed = std::move(f.self); }
            current = nullptr;
        }
    }

    std::unique_ptr<QObject> myContext; // receiver of the queued resumes
    std::vector<std::shared_ptr<CooperativeThread>> myLive;
    std::vector<std::weak_ptr<CooperativeThread>> myDeferred;
    bool myShuttingDown = false;
    bool myQuitHooked = false;
};

CooperativeThread::CooperativeThread() : myFiber(std::make_unique<Fiber>()) {}

CooperativeThread::~CooperativeThread() = default;

void CooperativeThread::Run() {
    auto self = weak_from_this().lock();
    if (!self) {
        qWarning("CooperativeThread::Run needs an object owned by a std::shared_ptr; it does not "
                 "run");
        return;
    }
    Scheduler::instance().start(self);
}

bool CooperativeThread::isStarted() const {
    return myState != State::New;
}

bool CooperativeThread::isFinished() const {
    return myState == State::Finished;
}

void yieldPoint() {
    Scheduler::yieldIfSliceUsed();
}

void yieldNow() {
    Scheduler::yieldAlways();
}

bool WaitQueue::wait() {
    CooperativeThread* t = current;
    if (t == nullptr || Scheduler::unwinding())
        return false;
    myWaiters.push_back(t->weak_from_this());
    Scheduler::suspendWaiting(*t);
    return true;
}

void WaitQueue::notifyAll() {
    for (const auto& waiter : std::exchange(myWaiters, {}))
        Scheduler::instance().wake(waiter);
}

bool inCooperativeThread() {
    return current != nullptr;
}

int runDialog(QDialog& dialog) {
    if (current == nullptr)
        return dialog.exec();
    if (Scheduler::unwinding())
        return QDialog::Rejected;
    return Scheduler::instance().waitForDialog(*current, dialog);
}

void showMessageBox(const QString& text) {
    if (!onGuiThread() || Scheduler::unwinding()) {
        qWarning("%s", qUtf8Printable(text));
        return;
    }
    // The active window may close while the box is open and take the box with
    // it; the guard deletes the box only if it is still there.
    auto* box = new QMessageBox(QMessageBox::NoIcon, programName(), text, QMessageBox::Ok,
                                QApplication::activeWindow());
    WidgetGuard guard(box);
    runDialog(*box);
}

void shutdownCooperativeThreads() {
    Scheduler::instance().shutdown();
}

void setTimeSliceMicroseconds(long microseconds) {
    timeSlice = std::chrono::microseconds(std::max(0L, microseconds));
}

long timeSliceMicroseconds() {
    return static_cast<long>(timeSlice.count());
}

} // namespace platform
