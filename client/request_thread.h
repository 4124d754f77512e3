#pragma once
// The worker that runs one "Parse": checks the input and either posts it or
// rearranges the last reply again.

#include "platform/cooperative_thread.h"

class requestThread : public platform::CooperativeThread {
public:
    // Shows the progress wheel and the sending text (runs on the GUI thread).
    requestThread();
    // Hides the progress wheel once the finished worker is released.
    ~requestThread() override;

protected:
    void Event_Run() override;
};
