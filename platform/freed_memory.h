#pragma once
// Gives freed heap memory back to the system, off the click path.

namespace platform {

// A few seconds after the last call, and only when the C library holds more
// than 16 MiB of freed memory (a large reply's pages), hands all of its freed
// memory back to the system, not only what lies beyond 16 MiB. Later calls
// move the moment on. A large reply would otherwise leave the process several
// times the reply's size; giving back after every parse would make the next
// parse fault its pages in again. Needs a QCoreApplication.
void releaseFreedMemoryLater();

// Sets the delay, 3 s unless set, for the calls from now on: tests need not wait that long.
void setReleaseDelayForTesting(int milliseconds);

} // namespace platform
