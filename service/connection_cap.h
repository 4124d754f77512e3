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
// chanceToSpeak, so a young connection is not judged by its first byte alone). A connection's
// bytes count once they have reached the service, read or not: it is judged when it comes by
// what is already waiting on its socket, and when taken it is asked again, so a request on its
// way to being read is never taken for silence. One that has sent more since it was taken, or
// whose whole head has come meanwhile, goes on, and another makes room instead.
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

    explicit ConnectionCap(std::size_t max, std::function<Clock::time_point()> now = Clock::now);

    std::size_t max() const { return max_; }
    std::size_t open() const;

    // Whether one more client may be accepted now. If not, `resume` is called once one may
    // (replacing one kept before).
    bool mayAccept(std::function<void()> resume);

    // A connection accepted, with `arrived` bytes of its request come already. `makeRoom` is
    // called when it is taken to make room: it must then ask mustClose(). Returns its number.
    std::uint64_t enter(std::function<void()> makeRoom, std::size_t arrived);
    // The bytes of its request it has read so far.
    void progress(std::uint64_t number, std::size_t arrived);
    // Its whole head has come: it is never taken to make room.
    void headCame(std::uint64_t number);
    // Asked by a connection taken to make room, with the bytes of its request that have come by
    // now (read, or waiting on its socket): whether it is to close. Only when they are the bytes
    // it was judged by: more have come, or fewer show because a read of them is on its way to
    // being handled, and it is spared.
    bool mustClose(std::uint64_t number, std::size_t arrived);
    // The connection has closed, whatever its state.
    void leave(std::uint64_t number);

private:
    struct Waiter {
        std::function<void()> makeRoom;
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
