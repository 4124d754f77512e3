// Cooperative threads on the Qt event loop, run offscreen.

#include "platform/cooperative_thread.h"
#include "tests/support/event_loop.h"

#include <QAbstractButton>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace platform;
using testing_support::shownMessageBox;
using testing_support::waitUntil;

namespace {

using Log = std::vector<std::string>;

struct LambdaThread : CooperativeThread {
    std::function<void()> body, onDestroy;
    ~LambdaThread() override { onDestroy(); }
    void Event_Run() override { body(); }
};

void start(
    std::function<void()> body, std::function<void()> onDestroy = [] {}) {
    auto t = std::make_shared<LambdaThread>();
    t->body = std::move(body);
    t->onDestroy = std::move(onDestroy);
    t->setPriority(2);
    t->Run(); // the scheduler keeps it alive
}

class CooperativeThreadTest : public ::testing::Test {
protected:
    void TearDown() override {
        shutdownCooperativeThreads();
        setTimeSliceMicroseconds(5000);
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(CooperativeThreadTest, WorkersInterleaveOnlyAtYieldPoints) {
    EXPECT_FALSE(inCooperativeThread());
    const std::pair<long, Log> cases[] = {
        {0, {"A0", "B0", "A1", "B1", "A2", "B2"}},          // every yield switches
        {10'000'000, {"A0", "A1", "A2", "B0", "B1", "B2"}}, // slice not used up
    };
    for (const auto& [slice, expected] : cases) {
        setTimeSliceMicroseconds(slice);
        Log log;
        int finished = 0;
        for (std::string name : {"A", "B"})
            start([&, name] {
                for (int i = 0; i < 3; ++i) {
                    log.push_back(name + (inCooperativeThread() ? std::to_string(i) : "?"));
                    yieldPoint();
                }
                ++finished;
            });
        yieldPoint(); // outside a worker: returns at once, runs nothing
        EXPECT_TRUE(log.empty()) << "slice " << slice << ": Run and yieldPoint must not run a body";
        ASSERT_TRUE(waitUntil([&] { return finished == 2; })) << "slice " << slice;
        EXPECT_EQ(log, expected) << "slice " << slice;
    }
}

TEST_F(CooperativeThreadTest, WaitingForADialogBlocksOnlyThatWorker) {
    auto dialog = std::make_unique<QDialog>();
    QDialog* shown = dialog.get();
    bool boxDone = false, otherDone = false, timerFired = false;
    int dialogResult = -1;
    start([&] {
        showMessageBox("wait");
        boxDone = true;
    });
    start([&] { dialogResult = runDialog(*shown); });
    ASSERT_TRUE(waitUntil([&] { return shownMessageBox("wait") && shown->isVisible(); }));
    start([&] { otherDone = true; });
    QTimer::singleShot(10, [&] { timerFired = true; });
    EXPECT_TRUE(waitUntil([&] { return otherDone && timerFired; }));
    EXPECT_FALSE(boxDone) << "the worker must wait for its box";
    EXPECT_EQ(dialogResult, -1) << "the worker must wait for its dialog";
    shownMessageBox("wait")->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitUntil([&] { return boxDone; }));
    EXPECT_EQ(shownMessageBox("wait"), nullptr);
    dialog.reset(); // a destroyed dialog counts as rejected, not as a wait forever
    EXPECT_TRUE(waitUntil([&] { return dialogResult == QDialog::Rejected; })) << dialogResult;
}

TEST_F(CooperativeThreadTest, AnExceptionIsReportedAndTheProgramLivesOn) {
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] { throw std::runtime_error("boom \xff"); }, "boom"},
        {[] { throw 42; }, "unknown exception"},
    };
    for (const auto& [body, reported] : cases) {
        Log log;
        bool nextRan = false;
        start(body, [&] { log.push_back(inCooperativeThread() ? "on worker" : "ok"); });
        start([&] { nextRan = true; });
        EXPECT_TRUE(waitUntil([&] { return nextRan && !log.empty(); })) << reported;
        EXPECT_EQ(log, Log{"ok"}) << reported << ": the destructor runs on the event loop";
        EXPECT_TRUE(waitUntil([&] { return shownMessageBox(reported) != nullptr; })) << reported;
    }
}

TEST_F(CooperativeThreadTest, ShutdownUnwindsSuspendedWorkers) {
    setTimeSliceMicroseconds(0);
    struct Raii {
        Log& log;
        std::string name;
        ~Raii() {
            yieldPoint(); // neither may suspend a worker being torn down
            showMessageBox("never shown");
            log.push_back(name + " unwound");
        }
    };
    Log log;
    bool yielding = false;
    start(
        [&] {
            Raii r{log, "yielder"};
            for (;; yielding = true)
                yieldPoint();
        },
        [&] { log.push_back("yielder destroyed"); });
    start(
        [&] {
            Raii r{log, "waiter"};
            showMessageBox("unanswered");
            log.push_back("waiter answered");
        },
        [&] { log.push_back("waiter destroyed"); });
    ASSERT_TRUE(waitUntil([&] { return yielding && shownMessageBox("unanswered"); }));

    shutdownCooperativeThreads();
    EXPECT_EQ(log,
              (Log{"yielder unwound", "waiter unwound", "yielder destroyed", "waiter destroyed"}));
    EXPECT_EQ(shownMessageBox("unanswered"), nullptr) << "the box must go with its worker";
    bool ran = false;
    start([&] { ran = true; });
    EXPECT_TRUE(waitUntil([&] { return ran; })) << "workers must start again after a shutdown";
}

} // namespace
