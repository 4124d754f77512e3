#pragma once
// A control that paints a backdrop picture, unscaled at its top left corner,
// and reports the mouse: a press goes to the press handler, whose true result
// asks for the matching release (delivered wherever the button is let go).

#include <QPixmap>
#include <QWidget>
#include <functional>

class PictureCanvas : public QWidget {
    Q_OBJECT
public:
    explicit PictureCanvas(QWidget* parent = nullptr);

    void setBackdrop(const QPixmap& picture);
    QPixmap backdrop() const { return myBackdrop; }

    // Called with the press position; true to receive the release.
    void setMouseDownHandler(std::function<bool(int x, int y)> handler);

    // Raises the Open event (once the window has built its controls).
    void open();

signals:
    void Open();
    void MouseUp(int x, int y);
    void MouseEnter();
    void MouseExit();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap myBackdrop;
    std::function<bool(int, int)> myMouseDownHandler;
    bool myAwaitingRelease = false;
};
