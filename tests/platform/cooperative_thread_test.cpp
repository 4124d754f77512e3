// Cooperative threads on the Qt event loop, run offscreen.

#include "platform/cooperative_thread.h"
#include "tests/support/event_loop.h"

#include <QAbstractButton>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace platform;
using testing_support::shownMessageBox;
using testing_support::waitUntil;
using Log = std::vector<std::string>;

namespace {

// Read before any test sets a slice of its own.
const long defaultTimeSlice = timeSliceMicroseconds();

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
    EXPECT_EQ(defaultTimeSlice, 5000) << "a worker runs about 5 ms before a yield point switches";
    EXPECT_FALSE(inCooperativeThread());
    const std::pair<long, Log> cases[] = {
        {0, {"A0", "B0", "A1", "B1", "A2", "B2"}},          // every yield switches
        {10'000'000, {"A0", "A1", "A2", "B0", "B1", "B2"}}, // slice not used up
    };
    for (const auto& [slice, expected] : cases) {
        setTimeSliceMicroseconds(slice);
        Log log;
        for (std::string name : {"A", "B"})
            start([&, name] {
                for (int i = 0; i < 3; ++i) {
                    log.push_back(name + (inCooperativeThread() ? std::to_string(i) : "?"));
                    yieldPoint();
                }
            });
        yieldPoint(); // outside a worker: returns at once, runs nothing
        EXPECT_TRUE(log.empty()) << "slice " << slice << ": Run and yieldPoint must not run a body";
        EXPECT_TRUE(waitUntil([&] { return log.size() == 6; })) << "slice " << slice;
        EXPECT_EQ(log, expected) << "slice " << slice;
    }
}

TEST_F(CooperativeThreadTest, WaitingForADialogBlocksOnlyThatWorker) {
    auto dialog = std::make_unique<QDialog>();
    bool boxDone = false, otherDone = false, timerFired = false;
    int dialogResult = -1;
    start([&] {
        showMessageBox("wait");
        boxDone = true;
    });
    start([&, shown = dialog.get()] { dialogResult = runDialog(*shown); });
    ASSERT_TRUE(waitUntil([&] { return shownMessageBox("wait") && dialog->isVisible(); }));
    start([&] { otherDone = true; });
    QTimer::singleShot(10, [&] { timerFired = true; });
    EXPECT_TRUE(waitUntil([&] { return otherDone && timerFired; }));
    EXPECT_FALSE(boxDone || dialogResult != -1) << "the workers must wait for their dialogs";
    shownMessageBox("wait")->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitUntil([&] { return boxDone && !shownMessageBox("wait"); }));
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
        start(body, [&] { log.push_back(inCooperativeThread() ? "on worker" : "ok"); });
        start([&] { log.push_back("next"); });
        ASSERT_TRUE(waitUntil([&] { return log.size() == 2 && shownMessageBox(reported); }))
            << reported;
        EXPECT_EQ(shownMessageBox(reported)->windowTitle().toStdString(), "オリズメ") << reported;
        EXPECT_EQ(log, (Log{"ok", "next"})) << reported << ": destroyed on the event loop";
    }
}

TEST_F(CooperativeThreadTest, ShutdownUnwindsSuspendedWorkers) {
    setTimeSliceMicroseconds(0);
    Log log;
    struct Raii {
        Log& log;
        std::string name;
        ~Raii() {
            yieldPoint(); // neither may suspend a worker being torn down
            showMessageBox("never shown");
            log.push_back(name + " unwound");
        }
    };
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
    start([&] { log.push_back("ran"); });
    EXPECT_TRUE(waitUntil([&] { return log.back() == "ran"; })) << "workers start after a shutdown";
}

} // namespace
