#include "client/sequencer_guard.h"

#include "platform/cooperative_thread.h"

#include <set>

namespace client {

namespace {

std::set<const sequencerClass*>& taken() {
    static std::set<const sequencerClass*> sequences;
    return sequences;
}

// Every release wakes every waiter; each checks its own sequencer again. Waits
// are rare and short (a replay pressed while another one is read out), so one
// queue for all sequencers is enough.
platform::WaitQueue& released() {
    static platform::WaitQueue queue;
    return queue;
}

} // namespace

SequencerGuard::SequencerGuard(const std::shared_ptr<sequencerClass>& sequence)
    : mySequence(sequence.get()) {
    if (!mySequence)
        return;
    while (taken().count(mySequence) != 0)
        if (!released().wait())
            return;
    taken().insert(mySequence);
    myHeld = true;
}

SequencerGuard::~SequencerGuard() {
    if (!myHeld)
        return;
    taken().erase(mySequence);
    released().notifyAll();
}

} // namespace client
