#pragma once
// A small busy indicator: a ring of spokes that turns while the control is visible.

#include <QTimer>
#include <QWidget>

class ProgressWheel : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWheel(QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(16, 16); }
    // Whether the wheel is turning (it turns only while shown).
    bool isTurning() const { return myTimer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer myTimer;
    int myStep = 0;
};
