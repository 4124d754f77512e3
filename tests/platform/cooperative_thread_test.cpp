// Cooperative threads on the Qt event loop, run offscreen.
//
// Left out of the sanitizer run (which builds without the GUI): AddressSanitizer
// cannot follow fcontext stack switches and reports false errors, and Debian's
// Boost.Context has no ucontext build to switch to.

#include "platform/cooperative_thread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class LambdaThread : public platform::CooperativeThread {
public:
    LambdaThread(std::function<void()> body, std::function<void()> onDestroy)
        : myBody(std::move(body)), myOnDestroy(std::move(onDestroy)) {}
    ~LambdaThread() override { myOnDestroy(); }

protected:
    void Event_Run() override { myBody(); }

private:
    std::function<void()> myBody, myOnDestroy;
};

std::weak_ptr<LambdaThread> start(
    std::function<void()> body, std::function<void()> onDestroy = [] {}) {
    auto t = std::make_shared<LambdaThread>(std::move(body), std::move(onDestroy));
    t->setPriority(2);
    t->Run();
    return t; // the scheduler keeps it alive
}

// Runs the event loop until `done` holds; false after five seconds.
bool waitUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

QMessageBox* findMessageBox(const QString& text) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w);
            box && box->isVisible() && box->text().contains(text))
            return box;
    return nullptr;
}

class CooperativeThreadTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::shutdownCooperativeThreads();
        platform::setTimeSliceMicroseconds(5000);
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(CooperativeThreadTest, WorkersInterleaveOnlyAtYieldPoints) {
    EXPECT_FALSE(platform::inCooperativeThread());
    const struct {
        const char* name;
        long slice;
        Log expected;
    } cases[] = {
        {"every yield switches", 0, {"A0", "B0", "A1", "B1", "A2", "B2"}},
        {"slice not used up", 10'000'000, {"A0", "A1", "A2", "B0", "B1", "B2"}},
    };
    for (const auto& c : cases) {
        platform::setTimeSliceMicroseconds(c.slice);
        Log log;
        int finished = 0;
        auto body = [&](std::string name) {
            return [&, name] {
                for (int i = 0; i < 3; ++i) {
                    log.push_back(name +
                                  (platform::inCooperativeThread() ? std::to_string(i) : "?"));
                    platform::yieldPoint();
                }
                ++finished;
            };
        };
        start(body("A"));
        start(body("B"));
        platform::yieldPoint(); // outside a worker: returns at once, runs nothing
        EXPECT_TRUE(log.empty()) << c.name << ": Run and yieldPoint must not run a body";
        ASSERT_TRUE(waitUntil([&] { return finished == 2; })) << c.name;
        EXPECT_EQ(log, c.expected) << c.name;
    }
}

TEST_F(CooperativeThreadTest, AMessageBoxBlocksOnlyItsOwnWorker) {
    bool aDone = false, bDone = false, timerFired = false;
    start([&] {
        platform::showMessageBox("wait");
        aDone = true;
    });
    ASSERT_TRUE(waitUntil([&] { return findMessageBox("wait") != nullptr; }));
    start([&] { bDone = true; });
    QTimer::singleShot(10, [&] { timerFired = true; });
    EXPECT_TRUE(waitUntil([&] { return bDone && timerFired; }));
    EXPECT_FALSE(aDone) << "the worker must wait for its box";
    findMessageBox("wait")->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitUntil([&] { return aDone; }));
    EXPECT_EQ(findMessageBox("wait"), nullptr);
}

TEST_F(CooperativeThreadTest, RunDialogReturnsRejectedWhenTheDialogIsDestroyed) {
    auto dialog = std::make_unique<QDialog>();
    QDialog* shown = dialog.get();
    int result = -1;
    start([&] { result = platform::runDialog(*shown); });
    ASSERT_TRUE(waitUntil([&] { return shown->isVisible(); }));
    dialog.reset();
    EXPECT_TRUE(waitUntil([&] { return result == QDialog::Rejected; })) << "got " << result;
}

TEST_F(CooperativeThreadTest, AnExceptionIsReportedAndTheProgramLivesOn) {
    const struct {
        const char* name;
        std::function<void()> body;
        const char* reported;
    } cases[] = {
        {"std::exception", [] { throw std::runtime_error("boom \xff"); }, "boom"},
        {"anything else", [] { throw 42; }, "unknown exception"},
    };
    for (const auto& c : cases) {
        bool destroyed = false, nextRan = false;
        start(c.body, [&] { destroyed = true; });
        start([&] { nextRan = true; });
        EXPECT_TRUE(waitUntil([&] { return nextRan && destroyed; })) << c.name;
        EXPECT_TRUE(waitUntil([&] { return findMessageBox(c.reported) != nullptr; })) << c.name;
    }
}

TEST_F(CooperativeThreadTest, TheDestructorRunsAfterTheBodyOnTheEventLoop) {
    Log log;
    start([&] { log.push_back("body"); },
          [&] {
              log.push_back(platform::inCooperativeThread() ? "destructor on the worker"
                                                            : "destructor");
              EXPECT_EQ(QThread::currentThread(), qApp->thread());
          });
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(waitUntil([&] { return log.size() == 2; }));
    EXPECT_EQ(log, (Log{"body", "destructor"}));
}

TEST_F(CooperativeThreadTest, ShutdownUnwindsSuspendedWorkers) {
    platform::setTimeSliceMicroseconds(0);
    struct Raii {
        Log& log;
        std::string name;
        ~Raii() {
            platform::yieldPoint(); // neither may suspend a worker being torn down
            platform::showMessageBox("never shown");
            log.push_back(name + " unwound");
        }
    };
    Log log;
    bool yielding = false;
    start(
        [&] {
            Raii r{log, "yielder"};
            for (;; yielding = true)
                platform::yieldPoint();
        },
        [&] { log.push_back("yielder destroyed"); });
    start(
        [&] {
            Raii r{log, "waiter"};
            platform::showMessageBox("unanswered");
            log.push_back("waiter answered");
        },
        [&] { log.push_back("waiter destroyed"); });
    ASSERT_TRUE(waitUntil([&] { return yielding && findMessageBox("unanswered"); }));

    platform::shutdownCooperativeThreads();
    EXPECT_EQ(log,
              (Log{"yielder unwound", "waiter unwound", "yielder destroyed", "waiter destroyed"}));
    EXPECT_EQ(findMessageBox("unanswered"), nullptr) << "the box must go with its worker";
    bool ran = false;
    start([&] { ran = true; });
    EXPECT_TRUE(waitUntil([&] { return ran; })) << "workers must start again after a shutdown";
}

} // namespace
