#include "platform/edge_layout.h"

#include <QWidget>
#include <gtest/gtest.h>

using platform::EdgeLock;
using platform::EdgeLocks;

TEST(EdgeLayout, PlacementKeepsTheLockedDistances) {
    struct Case {
        const char* name;
        QRect designed;
        EdgeLocks locks;
        QSize now;
        QRect expected;
    };
    const QSize designedParent(584, 403);
    // Growing and moving are covered by the windows' tests; these are the other rules.
    const EdgeLocks leftBottom = EdgeLock::Left | EdgeLock::Bottom;
    const Case cases[] = {
        {"four locks shrink", {0, -1, 584, 345}, EdgeLock::All, {300, 200}, {0, -1, 300, 142}},
        {"four locks below zero", {0, -1, 584, 345}, EdgeLock::All, {64, 40}, {0, -1, 64, 0}},
        {"left and bottom", {15, 345, 88, 35}, leftBottom, {700, 300}, {15, 242, 88, 35}},
        {"no lock stays", {10, 20, 30, 40}, EdgeLock::None, {100, 100}, {10, 20, 30, 40}},
        {"right only", {500, 20, 30, 40}, EdgeLock::Right, {600, 100}, {516, 20, 30, 40}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::lockedPlacement(c.designed, c.locks, designedParent, c.now), c.expected)
            << c.name;
    }
}

TEST(EdgeLayout, ResizingTheParentReplacesEveryControlHiddenOnesToo) {
    QWidget parent;
    auto* layout = new platform::EdgeLayout(&parent, QSize(584, 403));
    auto* field = new QWidget;
    auto* button = new QWidget;
    auto* hidden = new QWidget;
    layout->addWidget(field, QRect(0, -1, 584, 345), EdgeLock::All);
    layout->addWidget(button, QRect(484, 363, 80, 20), EdgeLock::Right | EdgeLock::Bottom);
    layout->addWidget(hidden, QRect(500, 380, 16, 16), EdgeLock::Right | EdgeLock::Bottom);
    hidden->hide();
    EXPECT_EQ(field->parentWidget(), &parent);
    EXPECT_EQ(layout->sizeHint(), QSize(584, 403));

    parent.resize(634, 473);
    parent.show();
    layout->activate();
    EXPECT_EQ(field->geometry(), QRect(0, -1, 634, 415));
    EXPECT_EQ(button->geometry(), QRect(534, 433, 80, 20));
    EXPECT_EQ(hidden->geometry(), QRect(550, 450, 16, 16));

    delete button; // the layout forgets a deleted control
    EXPECT_EQ(layout->count(), 2);
    parent.resize(600, 400);
    layout->activate();
    EXPECT_EQ(field->geometry(), QRect(0, -1, 600, 342));
}
