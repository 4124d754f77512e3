#include "service/connection_cap.h"

#include <algorithm>
#include <utility>

namespace orizume::service {

ConnectionCap::ConnectionCap(std::size_t max, std::function<Clock::time_point()> now)
    : max_(std::max<std::size_t>(max, 1)), now_(std::move(now)) {}

std::size_t ConnectionCap::open() const {
    const std::lock_guard lock(mutex_);
    return open_;
}

bool ConnectionCap::mayAccept(std::function<void()> resume) {
    const std::lock_guard lock(mutex_);
    if (roomFor()) {
        return true;
    }
    resume_ = std::move(resume);
    return false;
}

std::uint64_t ConnectionCap::enter(std::function<void(std::uint64_t)> makeRoom,
                                   std::size_t arrived) {
    Calls calls;
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(mutex_);
        ++open_;
        // Before the newcomer is among the waiters: it does not make room for itself.
        makeRoomIfOwed(calls, 0);
        number = next_++;
        waiters_.emplace(number, Waiter{std::move(makeRoom), now_(), arrived, false});
    }
    run(calls);
    return number;
}

void ConnectionCap::progress(std::uint64_t number, std::size_t arrived) {
    const std::lock_guard lock(mutex_);
    if (const auto waiter = waiters_.find(number);
        waiter != waiters_.end() && !waiter->second.taken) {
        waiter->second.bytes = std::max(waiter->second.bytes, arrived);
    }
}

void ConnectionCap::headCame(std::uint64_t number) {
    Calls calls;
    {
        const std::lock_guard lock(mutex_);
        const auto waiter = waiters_.find(number);
        if (waiter == waiters_.end()) {
            return;
        }
        taken_ -= waiter->second.taken ? 1 : 0;
        waiters_.erase(waiter);
        makeRoomIfOwed(calls, 0);
    }
    run(calls);
}

bool ConnectionCap::mustClose(std::uint64_t number, std::size_t arrived) {
    Calls calls;
    {
        const std::lock_guard lock(mutex_);
        const auto waiter = waiters_.find(number);
        if (waiter == waiters_.end() || !waiter->second.taken) {
            return false;
        }
        const bool roomOtherwise = open_ - taken_ + 1 <= max_;
        if (arrived <= waiter->second.bytes && !roomOtherwise) {
            return true;
        }
        waiter->second.bytes = std::max(waiter->second.bytes, arrived);
        waiter->second.taken = false;
        --taken_;
        makeRoomIfOwed(calls, number);
    }
    run(calls);
    return false;
}

void ConnectionCap::leave(std::uint64_t number) {
    Calls calls;
    {
        const std::lock_guard lock(mutex_);
        --open_;
        if (const auto waiter = waiters_.find(number); waiter != waiters_.end()) {
            taken_ -= waiter->second.taken ? 1 : 0;
            waiters_.erase(waiter);
        }
        // No room is owed now: at most one more than the cap was open.
        resumeIfRoom(calls);
    }
    run(calls);
}

// One more may come while fewer are open than the cap, or as many and one of them can make room
// (or is making it already). So no more than one beyond the cap is ever open.
bool ConnectionCap::roomFor() const {
    return open_ < max_ || (open_ == max_ && !waiters_.empty());
}

// While more are open than the cap, not counting those closing to make room, the waiter that does
// least is taken, the one just spared excepted.
void ConnectionCap::makeRoomIfOwed(Calls& calls, std::uint64_t spared) {
    while (open_ - taken_ > max_) {
        const Clock::time_point now = now_();
        // Fewest bytes for the time open, without dividing: a / ageA < b / ageB. The oldest goes
        // first of those that are alike, so of silent ones the one silent longest.
        const auto age = [now](const Waiter& w) {
            const auto open = std::max<Clock::duration>(now - w.since, chanceToSpeak);
            return static_cast<unsigned long long>(
                std::chrono::duration_cast<std::chrono::microseconds>(open).count());
        };
        const auto bytes = [now](const Waiter& w) {
            return w.bytes == 0 && now - w.since < chanceToSpeak ? bytesBeforeSpeaking : w.bytes;
        };
        Waiter* chosen = nullptr;
        std::uint64_t chosenNumber = 0;
        for (auto& [number, waiter] : waiters_) {
            if (waiter.taken || number == spared) {
                continue;
            }
            if (chosen == nullptr || bytes(waiter) * age(*chosen) < bytes(*chosen) * age(waiter)) {
                chosen = &waiter;
                chosenNumber = number;
            }
        }
        if (chosen == nullptr) {
            return; // none can make room: until one closes, one more than the cap stays open
        }
        chosen->taken = true;
        ++taken_;
        calls.push_back([makeRoom = chosen->makeRoom, number = chosenNumber] { makeRoom(number); });
    }
}

void ConnectionCap::resumeIfRoom(Calls& calls) {
    if (resume_ && roomFor()) {
        calls.push_back(std::move(resume_));
        resume_ = nullptr;
    }
}

void ConnectionCap::run(Calls& calls) {
    for (const auto& call : calls) {
        call();
    }
}

} // namespace orizume::service
