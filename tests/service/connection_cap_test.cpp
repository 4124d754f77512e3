// Who makes room at the connection cap, and when one more client may come, on a clock the test
// moves.

#include "service/connection_cap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orizume::service {
namespace {

using namespace std::chrono_literals;

struct Cap {
    explicit Cap(std::size_t max) : cap(max, [this] { return now; }) {}
    // Enters connection `name` with `bytes` come; taking it is noted in `taken`.
    std::uint64_t enter(const std::string& name, std::size_t bytes) {
        return cap.enter([this, name](std::uint64_t) { taken.push_back(name); }, bytes);
    }

    ConnectionCap::Clock::time_point now{};
    std::vector<std::string> taken;
    ConnectionCap cap;
};

TEST(ConnectionCap, TakesTheOneThatDoesLeastWhenANewcomerPassesTheCap) {
    struct Waiter {
        const char* name;
        std::chrono::milliseconds enters; // on the test's clock
        std::size_t bytes;                // come by the time the newcomer does, at 1 s
    };
    struct Case {
        const char* rule;
        std::vector<Waiter> waiters;
        const char* taken;
    };
    const Case cases[] = {
        {"of silent ones, the one silent longest",
         {{"older", 0ms, 0}, {"newer", 500ms, 0}},
         "older"},
        {"a silent one before one that has sent",
         {{"sent", 0ms, 1}, {"silent", 900ms, 0}},
         "silent"},
        {"one that has not had its chance to speak after a trickler",
         {{"a byte in 1 s", 0ms, 1}, {"just come", 999ms, 0}},
         "a byte in 1 s"},
        {"but before one sending its head in pieces",
         {{"60 in 0.3 s", 700ms, 60}, {"just come", 999ms, 0}},
         "just come"},
        {"fewest bytes for the time open",
         {{"120 in 1 s", 0ms, 120}, {"50 in 0.5 s", 500ms, 50}},
         "50 in 0.5 s"},
        {"a young one as if open a while",
         {{"1 in 1 ms", 999ms, 1}, {"20 in 1 s", 0ms, 20}},
         "1 in 1 ms"},
        {"alike: the older", {{"older", 0ms, 10}, {"newer", 0ms, 10}}, "older"},
    };
    for (const Case& c : cases) {
        Cap cap(c.waiters.size());
        for (const Waiter& w : c.waiters) {
            cap.now = ConnectionCap::Clock::time_point(w.enters);
            cap.cap.progress(cap.enter(w.name, 0), w.bytes);
        }
        cap.now = ConnectionCap::Clock::time_point(1s);
        ASSERT_TRUE(cap.cap.mayAccept({})) << c.rule;
        cap.enter("newcomer", 0);
        EXPECT_EQ(cap.taken, std::vector<std::string>{c.taken}) << c.rule;
    }
}

// A connection taken is spared when more of it has come than it was judged by, or its whole head;
// then another makes room. No more than one beyond the cap is ever open, and the acceptor is
// resumed once one more may come.
TEST(ConnectionCap, SparesOneThatHasSentMoreAndKeepsAtMostOneBeyondTheCap) {
    Cap cap(2);
    const auto a = cap.enter("a", 0);
    cap.now += 10ms;
    const auto b = cap.enter("b", 5); // bytes waiting when it came count
    cap.now += 10ms;
    ASSERT_TRUE(cap.cap.mayAccept({}));
    const auto c = cap.enter("c", 0);
    ASSERT_EQ(cap.taken, std::vector<std::string>{"a"});
    int resumed = 0;
    EXPECT_FALSE(cap.cap.mayAccept([&] { ++resumed; })) << "two beyond the cap";

    // a's request reached its socket meanwhile: c, silent, goes instead, not a again at once.
    EXPECT_FALSE(cap.cap.mustClose(a, 3));
    ASSERT_EQ(cap.taken, (std::vector<std::string>{"a", "c"}));
    // c's whole head came meanwhile: a, slower than b, goes after all.
    cap.cap.headCame(c);
    EXPECT_FALSE(cap.cap.mustClose(c, 0));
    ASSERT_EQ(cap.taken, (std::vector<std::string>{"a", "c", "a"}));
    EXPECT_TRUE(cap.cap.mustClose(a, 3)) << "nothing more came of a";
    EXPECT_EQ(resumed, 0);
    cap.cap.leave(a);
    EXPECT_EQ(resumed, 1) << "room was made and the acceptor not told";
    cap.cap.headCame(b);
    EXPECT_FALSE(cap.cap.mayAccept([&] { ++resumed; })) << "room claimed where none can be made";
    cap.cap.leave(b);
    EXPECT_EQ(resumed, 2);

    // Spared with none to take instead: one beyond the cap stays open until one closes. x is
    // judged by what it had sent when taken, not by a read handled before it is asked.
    Cap one(1);
    const auto x = one.enter("x", 0);
    ASSERT_TRUE(one.cap.mayAccept({}));
    const auto y = one.enter("y", 0);
    one.cap.headCame(y);
    one.cap.progress(x, 1);
    EXPECT_FALSE(one.cap.mustClose(x, 1));
    EXPECT_EQ(one.cap.open(), 2U);
    EXPECT_FALSE(one.cap.mayAccept([&] { ++resumed; }));
    one.cap.leave(y);
    EXPECT_EQ(resumed, 3) << "x can make room once y has gone";
    // Taken for a newcomer that has gone before x was asked: x goes on.
    ASSERT_TRUE(one.cap.mayAccept({}));
    one.cap.leave(one.enter("z", 0));
    EXPECT_EQ(one.taken, (std::vector<std::string>{"x", "x"}));
    EXPECT_FALSE(one.cap.mustClose(x, 1)) << "closed when room had come otherwise";
}

} // namespace
} // namespace orizume::service
