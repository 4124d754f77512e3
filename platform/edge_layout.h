#pragma once
// A layout that keeps each control's distances to the edges of its parent that
// the control is locked to. Every control is placed at its designed rectangle
// for the parent's designed size; on each resize the locked distances are kept:
// locked to both left and right (or top and bottom) the control stretches,
// locked to one side it moves with that side, locked to neither it stays put.

#include <QFlags>
#include <QLayout>
#include <QRect>
#include <QSize>
#include <memory>
#include <vector>

namespace platform {

enum class EdgeLock : unsigned {
    None = 0,
    Left = 1,
    Top = 2,
    Right = 4,
    Bottom = 8,
    All = Left | Top | Right | Bottom,
};
Q_DECLARE_FLAGS(EdgeLocks, EdgeLock)
Q_DECLARE_OPERATORS_FOR_FLAGS(EdgeLocks)

// Where a control designed at `designed` inside a parent of `designedParent`
// goes when the parent is `parent`, keeping the distances of its locked edges.
// Width and height never go below 0.
QRect lockedPlacement(const QRect& designed, EdgeLocks locks, const QSize& designedParent,
                      const QSize& parent);

class EdgeLayout : public QLayout {
    Q_OBJECT
public:
    // Lays out `parent`, whose designed (content) size is `designedSize`.
    EdgeLayout(QWidget* parent, const QSize& designedSize);
    ~EdgeLayout() override;

    // Adds a control (reparented to the layout's widget) with its designed rectangle and locks.
    void addWidget(QWidget* widget, const QRect& designed, EdgeLocks locks);

    QSize designedSize() const { return myDesignedSize; }

    // QLayout
    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        std::unique_ptr<QLayoutItem> item;
        QRect designed;
        EdgeLocks locks;
    };
    std::vector<Entry> myEntries;
    QSize myDesignedSize;
};

} // namespace platform
