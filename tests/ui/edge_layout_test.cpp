#include "platform/edge_layout.h"

#include <gtest/gtest.h>

using platform::EdgeLock;

// Growing and hidden controls are covered by the windows' tests.
TEST(EdgeLayout, PlacementKeepsTheLockedDistances) {
    struct Case {
        const char* name;
        QRect designed;
        platform::EdgeLocks locks;
        QSize now; // the parent, designed 584 x 403
        QRect expected;
    };
    const Case cases[] = {
        {"four locks shrink", {0, -1, 584, 345}, EdgeLock::All, {300, 200}, {0, -1, 300, 142}},
        {"four locks below zero", {0, -1, 584, 345}, EdgeLock::All, {64, 40}, {0, -1, 64, 0}},
        {"left, bottom",
         {15, 345, 88, 35},
         EdgeLock::Left | EdgeLock::Bottom,
         {7, 300},
         {15, 242, 88, 35}},
        {"no lock stays", {10, 20, 30, 40}, EdgeLock::None, {100, 100}, {10, 20, 30, 40}},
        {"right only", {500, 20, 30, 40}, EdgeLock::Right, {600, 100}, {516, 20, 30, 40}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::lockedPlacement(c.designed, c.locks, {584, 403}, c.now), c.expected)
            << c.name;
}
