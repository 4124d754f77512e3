#include "client/sequencer_guard.h"

#include "platform/cooperative_thread.h"

#include <set>

namespace client {

namespace {

std::set<const sequencerClass*>& taken() {
    static std::set<const sequencerClass*> sequences;
    return sequences;
}

} // namespace

SequencerGuard::SequencerGuard(const std::shared_ptr<sequencerClass>& sequence)
    : mySequence(sequence.get()) {
    if (!mySequence)
        return;
    while (taken().count(mySequence) != 0) {
        if (!platform::inCooperativeThread())
            return;
        // Rare (two presses within one replay): let the holder go on.
        platform::yieldNow();
    }
    taken().insert(mySequence);
    myHeld = true;
}

SequencerGuard::~SequencerGuard() {
    if (myHeld)
        taken().erase(mySequence);
}

} // namespace client
