#include "ui/window3.h"

#include "app/app.h"
#include "platform/program_name.h"
#include "platform/text.h"
#include "ui/picture_canvas.h"
#include "ui/pictures.h"

#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>

namespace {

QPointer<Window3> openWindow;

const QString displayName = platform::programName();

} // namespace

Window3* Window3::instance() {
    if (openWindow)
        return openWindow;
    auto* window = new Window3; // deletes itself when closed
    openWindow = window;
    window->show();
    return window;
}

Window3* Window3::openInstance() {
    return openWindow;
}

Window3::Window3() {
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
    AddMenuHandlers();
    canvas1()->open();
    StaticText1_Open();
}

Window3::~Window3() {
    if (openWindow == this)
        openWindow = nullptr;
}

void Window3::Layout() {
    // A fixed-size window with close and minimise buttons, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    setWindowTitle(displayName);
    setFixedSize(246, 216);
}

void Window3::CreateControls() {
    auto* canvas = new PictureCanvas(this);
    canvas->setObjectName(QStringLiteral("Canvas1"));
    canvas->setGeometry(73, 14, 100, 150);
    connect(canvas, &PictureCanvas::Open, this, &Window3::Canvas1_Open);

    auto* label = new QLabel(displayName, this);
    label->setObjectName(QStringLiteral("StaticText1"));
    label->setGeometry(44, 176, 175, 20);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setWordWrap(false);
}

void Window3::AddMenuHandlers() {}

void Window3::Canvas1_Open() {
    PictureCanvas* canvas = canvas1();
    const QPixmap picture = plome();
    // Without a picture (or with one of no height) there is nothing to scale:
    // the window shows the name and version alone.
    if (picture.isNull() || picture.height() <= 0) {
        qWarning("The About picture cannot be loaded.");
        return;
    }
    // The canvas keeps its height and its left edge; its width follows the
    // picture's aspect ratio.
    const double ratio = static_cast<double>(canvas->height()) / picture.height();
    const std::int32_t width = platform::toInt32(static_cast<double>(picture.width()) * ratio);
    canvas->resize(width, canvas->height());

    // Scaled once into a buffer that the canvas then shows as it is.
    QImage buffer(canvas->width(), canvas->height(), QImage::Format_ARGB32_Premultiplied);
    if (buffer.isNull())
        return; // no width left to draw into
    buffer.fill(Qt::transparent);
    {
        QPainter painter(&buffer);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(0, 0, canvas->width(), canvas->height()), picture, picture.rect());
    }
    canvas->setBackdrop(QPixmap::fromImage(buffer));
}

void Window3::StaticText1_Open() {
    staticText1()->setText(displayName + App::shortVersion());
}

PictureCanvas* Window3::canvas1() const {
    return findChild<PictureCanvas*>(QStringLiteral("Canvas1"));
}

QLabel* Window3::staticText1() const {
    return findChild<QLabel*>(QStringLiteral("StaticText1"));
}

void Window3::closeEvent(QCloseEvent* event) {
    // From here on the About command builds a new window.
    if (openWindow == this)
        openWindow = nullptr;
    event->accept();
}
