#include "platform/freed_memory.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace platform {

namespace {

// Long enough that a person pressing "Parse" again and again keeps the pages.
constexpr int kDelayMs = 3000;
// A parse of the largest text the program sends leaves a few megabytes free:
// while no more than this is free, nothing goes back and the next parse reuses
// it. Beyond it, all of the free memory goes back, not only what exceeds this.
constexpr unsigned long kReleaseAboveFreeBytes = 16ul << 20;

int& delayMs() {
    static int delay = kDelayMs;
    return delay;
}

void releaseNow() {
#ifdef __GLIBC__
    // A reply's XML document lies below the sequencer that outlives it, so its
    // pages are never trimmed from the top of the heap by themselves.
    // malloc_trim(0) gives back every whole free page, those within the heap
    // as well as its top, and keeps none in reserve: the next parse faults in
    // again the pages it needs.
    if (mallinfo2().fordblks > kReleaseAboveFreeBytes)
        malloc_trim(0);
#endif
}

} // namespace

void releaseFreedMemoryLater() {
    static QPointer<QTimer> timer;
    if (!timer) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            return;
        timer = new QTimer(app); // the application owns it
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, &releaseNow);
    }
    timer->start(delayMs());
}

void setReleaseDelayForTesting(int milliseconds) {
    delayMs() = milliseconds;
}

} // namespace platform
