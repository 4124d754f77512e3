#include "ui/progress_wheel.h"

#include <QPainter>
#include <QPen>

namespace {
constexpr int kSpokes = 8;
constexpr int kStepMilliseconds = 100;
} // namespace

ProgressWheel::ProgressWheel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    myTimer.setInterval(kStepMilliseconds);
    connect(&myTimer, &QTimer::timeout, this, [this] {
        myStep = (myStep + 1) % kSpokes;
        update();
    });
}

void ProgressWheel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    if (side <= 0)
        return;
    painter.translate(width() / 2.0, height() / 2.0);
    QColor colour = palette().color(QPalette::WindowText);
    QPen pen(colour, std::max<qreal>(1.5, side / 8.0), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (myStep - i + kSpokes) % kSpokes;
        colour.setAlphaF(1.0f - 0.8f * static_cast<float>(age) / kSpokes);
        pen.setColor(colour);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.45));
        painter.rotate(360.0 / kSpokes);
    }
}

void ProgressWheel::showEvent(QShowEvent*) {
    myTimer.start();
}

void ProgressWheel::hideEvent(QHideEvent*) {
    myTimer.stop();
}
