#include "ui/picture_canvas.h"

#include <QMouseEvent>
#include <QPainter>

PictureCanvas::PictureCanvas(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void PictureCanvas::setBackdrop(const QPixmap& picture) {
    myBackdrop = picture;
    update();
}

void PictureCanvas::setMouseDownHandler(std::function<bool(int, int)> handler) {
    myMouseDownHandler = std::move(handler);
}

void PictureCanvas::open() {
    emit Open();
}

void PictureCanvas::paintEvent(QPaintEvent*) {
    if (myBackdrop.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, myBackdrop);
}

void PictureCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || myAwaitingRelease) {
        event->ignore();
        return;
    }
    const QPoint at = event->position().toPoint();
    myAwaitingRelease = myMouseDownHandler && myMouseDownHandler(at.x(), at.y());
    if (myAwaitingRelease)
        event->accept();
    else
        event->ignore();
}

void PictureCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !myAwaitingRelease) {
        event->ignore();
        return;
    }
    // The press grabbed the mouse, so the release arrives here wherever it happens.
    myAwaitingRelease = false;
    const QPoint at = event->position().toPoint();
    emit MouseUp(at.x(), at.y());
}

void PictureCanvas::enterEvent(QEnterEvent*) {
    emit MouseEnter();
}

void PictureCanvas::leaveEvent(QEvent*) {
    emit MouseExit();
}
