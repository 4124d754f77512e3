// The deferred release of freed memory, seen where it acts: how much the C
// library's allocator holds free once the delay has passed.

#include "app/engine_hooks.h"
#include "platform/freed_memory.h"
#include "tests/support/loopback_server.h"
#include "tests/support/result_windows.h"
#include "ui/window1.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <malloc.h>
#include <memory>
#include <optional>
#include <vector>

using namespace testing_support;

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kKeptFree = 16 * kMiB; // up to this much free, the program gives none back
constexpr int kDelayMs = 400;                // the program's 3 s, shortened

std::size_t freeBytes() {
    return mallinfo2().fordblks;
}

// Leaves `bytes` free at the top of the heap: blocks small enough to come from
// the heap itself rather than mappings of their own, written to, then freed.
void leaveFree(std::size_t bytes) {
    constexpr std::size_t kBlock = 64 << 10;
    std::vector<std::unique_ptr<char[]>> blocks(bytes / kBlock);
    for (auto& block : blocks)
        block = std::make_unique<char[]>(kBlock);
}

// The free bytes once `ms` have passed, events handled meanwhile. Timers fire
// in the order they fall due, however late, so a reading due before the
// release always comes before it.
std::size_t freeBytesAfter(int ms) {
    std::optional<std::size_t> bytes;
    QObject context;
    QTimer::singleShot(ms, Qt::PreciseTimer, &context, [&] { bytes = freeBytes(); });
    waitUntil([&] { return bytes.has_value(); }, ms + 10000);
    return bytes.value_or(0);
}

class FreedMemory : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef __SANITIZE_ADDRESS__
        GTEST_SKIP() << "the sanitizer's allocator stands in for the C library's";
#endif
        // free() gives nothing back by itself, as when a large reply freed
        // earlier has raised the C library's trim threshold.
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
        platform::setReleaseDelayForTesting(kDelayMs);
        ASSERT_LT(freeBytes(), 4 * kMiB);
    }
    // What one test leaves free must not count in the next one run in this process.
    void TearDown() override {
        malloc_trim(0);
    }
};

TEST_F(FreedMemory, GoesBackOnceADelayAfterTheLastCallAndOnlyWhenMuchIsFree) {
    leaveFree(8 * kMiB);
    platform::releaseFreedMemoryLater();
    EXPECT_GE(freeBytesAfter(kDelayMs * 3 / 2), 8 * kMiB)
        << "nothing goes back while little is free";

    leaveFree(48 * kMiB);
    platform::releaseFreedMemoryLater();
    QTimer::singleShot(kDelayMs / 2, [] { platform::releaseFreedMemoryLater(); });
    EXPECT_GT(freeBytesAfter(kDelayMs * 5 / 4), 48 * kMiB) << "a later call moves the moment on";
    EXPECT_TRUE(waitUntil([] { return freeBytes() <= kKeptFree; }));

    leaveFree(48 * kMiB);
    EXPECT_GT(freeBytesAfter(kDelayMs * 2), 48 * kMiB) << "no release without a call";
}

TEST_F(FreedMemory, AParseGivesBackWhatIsFreeOnceTheDelayHasPassed) {
    installEngineHooks();
    LoopbackServer service;
    service.script(
        "HTTP/1.0 200 OK\r\n\r\n<r><a><c/><c/><l><w><s>猫</s><p>名詞</p></w></l></a></r>");
    Window1::setServiceAddressForTesting(service.url());
    Window1::instance()->editField1()->setPlainText(QStringLiteral("猫"));
    leaveFree(48 * kMiB);
    Window1::instance()->PushButton1_Action();
    EXPECT_TRUE(waitUntil([] { return !resultWindows().empty(); }));
    EXPECT_TRUE(waitUntil([] { return freeBytes() <= kKeptFree; }));
    closeResultWindows();
}

} // namespace
