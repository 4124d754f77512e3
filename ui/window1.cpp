// The main window's own part: construction, its controls' handlers, the menu
// handlers and the status line. Request, reply and walk live in client/.

#include "ui/window1.h"

#include "platform/edge_layout.h"
#include "platform/program_name.h"
#include "platform/text.h"
#include "ui/designed_controls.h"
#include "ui/menu_bar1.h"
#include "ui/picture_canvas.h"
#include "ui/pictures.h"
#include "ui/progress_wheel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QUrl>

using platform::EdgeLock;

namespace {

const QSize kDesignedSize(634, 473);

QPointer<Window1>& openWindow() {
    static QPointer<Window1> window;
    return window;
}

} // namespace

Window1* Window1::instance() {
    QPointer<Window1>& window = openWindow();
    if (window.isNull()) {
        window = new Window1(); // a top-level window; deleted by whoever ends the run
        window->show();
    }
    return window.data();
}

Window1* Window1::openInstance() {
    return openWindow().data();
}

Window1::Window1() : QMainWindow(nullptr) {
    Layout();
    CreateControls();
    AddMenuHandlers();
    MenuBar1::addEnableMenuItemsHandler(this, [this] { Event_EnableMenuItems(); });
    if (auto* canvas = findChild<PictureCanvas*>(QStringLiteral("Canvas1")))
        canvas->open();
}

Window1::~Window1() = default;

void Window1::Layout() {
    // The shared menu bar; the window owns it from now on.
    setMenuBar(MenuBar1::instance());

    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    new platform::EdgeLayout(content, kDesignedSize);
    setCentralWidget(content);

    setWindowFlags(designed::documentWindowFlags());
    // Limits and size are those of the content area, as designed. The window
    // carries the limits too: the window manager reads them from it alone.
    content->setMinimumSize(64, 64);
    content->setMaximumSize(32000, 32000);
    setMaximumSize(32000, 32000 + menuBarHeight(32000));
    setContentSize(kDesignedSize.width(), kDesignedSize.height());
    setWindowTitle(platform::programName());
}

void Window1::CreateControls() {
    QWidget* content = centralWidget();
    auto* layout = static_cast<platform::EdgeLayout*>(content->layout());
    const auto add = [layout](QWidget* control, const QString& name, QRect designed,
                              platform::EdgeLocks locks) {
        control->setObjectName(name);
        layout->addWidget(control, designed, locks);
    };

    auto* field = new QPlainTextEdit(content);
    add(field, QStringLiteral("EditField1"), QRect(0, -1, 634, 421), EdgeLock::All);
    designed::applyEditFieldDesign(field);
    connect(field, &QPlainTextEdit::textChanged, this, &Window1::EditField1_TextChange);

    auto* parse = new QPushButton(QStringLiteral("Parse"), content);
    add(parse, QStringLiteral("PushButton1"), QRect(508, 433, 80, 20),
        EdgeLock::Right | EdgeLock::Bottom);
    parse->setDefault(true);
    connect(parse, &QPushButton::clicked, this, &Window1::PushButton1_Action);

    auto* socket = new platform::HttpSocket(this);
    socket->setObjectName(QStringLiteral("TCPSocket1"));
    socket->Address.clear();
    socket->Port = 80;
    connect(socket, &platform::HttpSocket::PageReceived, this, &Window1::TCPSocket1_PageReceived);
    connect(socket, &platform::HttpSocket::Error, this, &Window1::TCPSocket1_Error);
    connect(socket, &platform::HttpSocket::HeadersReceived, this,
            &Window1::TCPSocket1_HeadersReceived);

    auto* canvas = new PictureCanvas(content);
    add(canvas, QStringLiteral("Canvas1"), QRect(15, 425, 88, 35),
        EdgeLock::Left | EdgeLock::Bottom);
    connect(canvas, &PictureCanvas::Open, this, &Window1::Canvas1_Open);
    canvas->setMouseDownHandler([this](int x, int y) { return Canvas1_MouseDown(x, y); });
    connect(canvas, &PictureCanvas::MouseUp, this, &Window1::Canvas1_MouseUp);
    connect(canvas, &PictureCanvas::MouseEnter, this, &Window1::Canvas1_MouseEnter);
    connect(canvas, &PictureCanvas::MouseExit, this, &Window1::Canvas1_MouseExit);

    auto* clear = new QPushButton(QStringLiteral("Clear"), content);
    add(clear, QStringLiteral("PushButton2"), QRect(120, 433, 80, 20),
        EdgeLock::Left | EdgeLock::Bottom);
    connect(clear, &QPushButton::clicked, this, &Window1::PushButton2_Action);

    auto* status = new QLabel(content);
    add(status, QStringLiteral("StaticText1"), QRect(250, 433, 240, 20),
        EdgeLock::Right | EdgeLock::Bottom);
    status->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    status->setFont(designed::fontOrDefault(QStringLiteral("Osaka")));
    setStatusColor(QColor(0, 0, 0));

    auto* wheel = new ProgressWheel(content);
    add(wheel, QStringLiteral("ProgressWheel1"), QRect(600, 435, 16, 16),
        EdgeLock::Right | EdgeLock::Bottom);
    wheel->setVisible(false);
}

void Window1::AddMenuHandlers() {
    MenuBar1::addMenuHandler(this, QStringLiteral("EditSelectAll"),
                             [this] { return _EditSelectAll_Action(); });
}

QPlainTextEdit* Window1::editField1() const {
    return findChild<QPlainTextEdit*>(QStringLiteral("EditField1"));
}

QString Window1::inputText() const {
    const QPlainTextEdit* field = editField1();
    if (!field)
        return {};
    // toPlainText() would also turn a no-break space into a space and a line
    // separator into a line feed; the raw text keeps them.
    QString text = field->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

QLabel* Window1::staticText1() const {
    return findChild<QLabel*>(QStringLiteral("StaticText1"));
}

QWidget* Window1::progressWheel1() const {
    return findChild<QWidget*>(QStringLiteral("ProgressWheel1"));
}

platform::HttpSocket* Window1::tcpSocket1() const {
    return findChild<platform::HttpSocket*>(QStringLiteral("TCPSocket1"));
}

QSize Window1::contentSize() const {
    const QWidget* content = centralWidget();
    return content ? content->size() : QSize();
}

int Window1::menuBarHeight(int width) const {
    const QWidget* bar = menuWidget();
    if (!bar || bar->isHidden())
        return 0;
    const int height = bar->heightForWidth(width);
    return height < 0 ? bar->sizeHint().height() : height;
}

void Window1::setContentSize(int width, int height) {
    // The menu bar takes its height above the content area.
    resize(width, height + menuBarHeight(width));
}

void Window1::EditField1_TextChange() {
    const QPlainTextEdit* field = editField1();
    if (!field)
        return;
    // Exactly the empty text counts as empty: blanks are text.
    hasChanged = !field->document()->isEmpty();
}

void Window1::PushButton2_Action() {
    if (QPlainTextEdit* field = editField1())
        field->setPlainText(QString());
}

void Window1::Canvas1_Open() {
    if (auto* canvas = findChild<PictureCanvas*>(QStringLiteral("Canvas1")))
        canvas->setBackdrop(attribution_badge_88_35());
}

bool Window1::Canvas1_MouseDown(int, int) {
    return true;
}

void Window1::Canvas1_MouseUp(int, int) {
    // Wherever the button is let go: the press on the badge is what counts.
    QDesktopServices::openUrl(QUrl(QStringLiteral(ORIZUME_SERVICE_PAGE)));
}

void Window1::Canvas1_MouseEnter() {
    if (auto* canvas = findChild<PictureCanvas*>(QStringLiteral("Canvas1")))
        canvas->setCursor(Qt::PointingHandCursor);
}

void Window1::Canvas1_MouseExit() {
    if (auto* canvas = findChild<PictureCanvas*>(QStringLiteral("Canvas1")))
        canvas->setCursor(Qt::ArrowCursor);
}

void Window1::Event_EnableMenuItems() {
    if (auto* bar = qobject_cast<MenuBar1*>(menuWidget()))
        if (QAction* item = bar->lookup(QStringLiteral("EditSelectAll")))
            item->setEnabled(true);
}

void Window1::closeEvent(QCloseEvent* event) {
    event->accept();
    Event_Close();
}

void Window1::Event_Close() {
    // Closing the main window ends the run, result windows and running requests or not.
    QCoreApplication::exit(0);
}

bool Window1::_EditSelectAll_Action() {
    designed::selectWholeText(editField1());
    return false;
}

void Window1::showTextLength() {
    setStatusColor(QColor(0, 0, 0));
    if (QLabel* status = staticText1()) {
        status->setText(QString::number(platform::characterCount(inputText())) +
                        QStringLiteral("文字"));
        status->setToolTip(QString()); // a failure's detail goes with the failure
    }
}

void Window1::setStatusColor(const QColor& color) {
    QLabel* status = staticText1();
    if (!status)
        return;
    QPalette palette = status->palette();
    palette.setColor(QPalette::WindowText, color);
    status->setPalette(palette);
}
