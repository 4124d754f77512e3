#include "platform/edge_layout.h"

#include <QWidget>
#include <algorithm>

namespace platform {

namespace {

// One axis: the start and length of a control designed at [start, start + length)
// inside a parent of designedExtent, now extent long.
std::pair<int, int> placeOnAxis(int start, int length, bool lockStart, bool lockEnd,
                                int designedExtent, int extent) {
    const int endDistance = designedExtent - (start + length);
    if (lockStart && lockEnd)
        return {start, std::max(0, extent - start - endDistance)};
    if (lockEnd)
        return {extent - endDistance - length, length};
    // Locked to the start only, or to neither side: the control stays where it was designed.
    return {start, length};
}

} // namespace

QRect lockedPlacement(const QRect& designed, EdgeLocks locks, const QSize& designedParent,
                      const QSize& parent) {
    const auto [x, width] =
        placeOnAxis(designed.x(), designed.width(), locks.testFlag(EdgeLock::Left),
                    locks.testFlag(EdgeLock::Right), designedParent.width(), parent.width());
    const auto [y, height] =
        placeOnAxis(designed.y(), designed.height(), locks.testFlag(EdgeLock::Top),
                    locks.testFlag(EdgeLock::Bottom), designedParent.height(), parent.height());
    return QRect(x, y, width, height);
}

EdgeLayout::EdgeLayout(QWidget* parent, const QSize& designedSize)
    : QLayout(parent), myDesignedSize(designedSize) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
    // The window's own minimum and maximum sizes rule, not the controls'.
    setSizeConstraint(QLayout::SetNoConstraint);
}

EdgeLayout::~EdgeLayout() = default;

void EdgeLayout::addWidget(QWidget* widget, const QRect& designed, EdgeLocks locks) {
    addChildWidget(widget);
    myEntries.push_back({std::make_unique<QWidgetItem>(widget), designed, locks});
    widget->setGeometry(designed);
    invalidate();
}

void EdgeLayout::addItem(QLayoutItem* item) {
    // An item added without a design keeps its present place, locked to the top left.
    const QRect designed = item->widget() ? item->widget()->geometry() : item->geometry();
    myEntries.push_back({std::unique_ptr<QLayoutItem>(item), designed, EdgeLock::None});
    invalidate();
}

int EdgeLayout::count() const {
    return static_cast<int>(myEntries.size());
}

QLayoutItem* EdgeLayout::itemAt(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return myEntries[static_cast<std::size_t>(index)].item.get();
}

QLayoutItem* EdgeLayout::takeAt(int index) {
    if (index < 0 || index >= count())
        return nullptr;
    const auto it = myEntries.begin() + index;
    QLayoutItem* item = it->item.release();
    myEntries.erase(it);
    invalidate();
    return item;
}

QSize EdgeLayout::sizeHint() const {
    return myDesignedSize;
}

QSize EdgeLayout::minimumSize() const {
    return QSize(0, 0);
}

void EdgeLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    for (const Entry& entry : myEntries) {
        const QRect placed =
            lockedPlacement(entry.designed, entry.locks, myDesignedSize, rect.size())
                .translated(rect.topLeft());
        // Hidden controls are placed too, so that they show up in the right place later
        // (QWidgetItem::setGeometry skips hidden widgets).
        if (QWidget* widget = entry.item->widget())
            widget->setGeometry(placed);
        else
            entry.item->setGeometry(placed);
    }
}

} // namespace platform
