#pragma once
// Keeps two replays of one sequencer from running at once (a reply's first
// arrangement and a "Parse" of unchanged text, or two quick presses): they
// would interleave their cursors and garble both texts. A worker that finds
// the sequencer taken is suspended until it is released.

#include <memory>

class sequencerClass;

namespace client {

class SequencerGuard {
public:
    // Waits (on a worker) until no one else holds the sequencer, then holds it.
    // Outside a worker it never waits: held() is then false when it was taken.
    explicit SequencerGuard(const std::shared_ptr<sequencerClass>& sequence);
    ~SequencerGuard();
    SequencerGuard(const SequencerGuard&) = delete;
    SequencerGuard& operator=(const SequencerGuard&) = delete;

    bool held() const { return myHeld; }

private:
    const sequencerClass* mySequence;
    bool myHeld = false;
};

} // namespace client
