#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace orizume::service {

// The one owner of the cap on open connections: it counts them, tells the acceptor when one more
// client may come, and chooses who makes room.
//
// Room is made only once a new client has come, and only by a connection that has not sent its
// whole request head: first one that has sent nothing (the one silent longest), else the one
// whose head comes slowest (fewest bytes for the time it has been open, as if open at least
// chanceToSpeak, so a young connection is not judged by its first byte alone). A client needs a
// moment after connecting to send its first bytes, and a newcomer is judged within microseconds:
// until it has been open chanceToSpeak, one that has sent nothing counts as if it had sent
// bytesBeforeSpeaking, which ranks it after connections trickling a byte now and then, and before
// clients sending their heads in pieces. A connection's bytes count once they have reached the
// service, read or not: it is judged when it comes by what already waits on its socket, and when
// taken it is asked again with every byte that has come by then. One that has sent more since it
// was judged, or whose whole head has come meanwhile, goes on, and another makes room instead;
// so does one for which room has come otherwise.
//
// So at most one connection more than the cap is open: a newcomer while the one making room
// closes, or, when none is left to make room, until one closes by itself. Meanwhile no client is
// accepted; they wait in the listen queue.
//
// Thread-safe. The functions it is given are called outside its lock.
class ConnectionCap {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds chanceToSpeak{100};
    static constexpr std::size_t bytesBeforeSpeaking = 3;

    explicit ConnectionCap(std::size_t max, std::function<Clock::time_point()> now = Clock::now);

    std::size_t max() const { return max_; }
    std::size_t open() const;

    // Whether one more client may be accepted now. If not, `resume` is called once one may
    // (replacing one kept before).
    bool mayAccept(std::function<void()> resume);

    // A connection accepted, with `arrived` bytes of its request come already. `makeRoom` is
    // called with its number when it is taken to make room: it must then ask mustClose(). Returns
    // its number.
    std::uint64_t enter(std::function<void(std::uint64_t)> makeRoom, std::size_t arrived);
    // The bytes of its request it has read so far. Once it is taken, what it is judged by stays
    // until it is asked.
    void progress(std::uint64_t number, std::size_t arrived);
    // Its whole head has come: it is never taken to make room.
    void headCame(std::uint64_t number);
    // Asked by a connection taken to make room, with every byte of its request that has come by
    // now (read, or waiting on its socket): whether it is to close. It is spared when more have
    // come than it was judged by, or when room has come otherwise meanwhile.
    bool mustClose(std::uint64_t number, std::size_t arrived);
    // The connection has closed, whatever its state.
    void leave(std::uint64_t number);

private:
    struct Waiter {
        std::function<void(std::uint64_t)> makeRoom;
        Clock::time_point since;
        std::size_t bytes = 0;
        bool taken = false;
    };
    // What to call once the lock is released.
    using Calls = std::vector<std::function<void()>>;

    bool roomFor() const;
    void makeRoomIfOwed(Calls& calls, std::uint64_t spared);
    void resumeIfRoom(Calls& calls);
    static void run(Calls& calls);

    const std::size_t max_;
    const std::function<Clock::time_point()> now_;
    mutable std::mutex mutex_;
    std::size_t open_ = 0;
    std::size_t taken_ = 0;                   // open, taken to make room, not yet closed
    std::map<std::uint64_t, Waiter> waiters_; // those without a whole head, oldest first
    std::uint64_t next_ = 1;
    std::function<void()> resume_;
};

} // namespace orizume::service
