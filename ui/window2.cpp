#include "ui/window2.h"

#include "platform/edge_layout.h"
#include "ui/designed_controls.h"
#include "ui/menu_bar1.h"

#include <QPlainTextEdit>
#include <QPushButton>

using platform::EdgeLock;

namespace {
const QSize kDesignedSize(584, 403);
} // namespace

QPointer<Window2> Window2::open() {
    QPointer<Window2> window = new Window2(); // deletes itself when closed
    window->show();
    return window;
}

Window2::Window2() : QWidget(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
    AddMenuHandlers();
    MenuBar1::addEnableMenuItemsHandler(this, [this] { Event_EnableMenuItems(); });
}

void Window2::Layout() {
    // No menu bar of its own: the application's serves; its shortcuts work in
    // every window of the program.
    setWindowFlags(designed::documentWindowFlags());
    setMinimumSize(64, 64);
    setMaximumSize(32000, 32000);
    resize(kDesignedSize);
    setWindowTitle(QStringLiteral("結果"));
    new platform::EdgeLayout(this, kDesignedSize);
}

void Window2::CreateControls() {
    auto* layout = static_cast<platform::EdgeLayout*>(this->layout());

    auto* field = new QPlainTextEdit(this);
    field->setObjectName(QStringLiteral("EditField1"));
    layout->addWidget(field, QRect(0, -1, 584, 345), EdgeLock::All);
    designed::applyEditFieldDesign(field);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("PushButton1"));
    layout->addWidget(ok, QRect(484, 363, 80, 20), EdgeLock::Right | EdgeLock::Bottom);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &Window2::PushButton1_Action);
}

void Window2::AddMenuHandlers() {
    // The menu item is "EditSelectAll"; handler names match item names regardless of case.
    MenuBar1::addMenuHandler(this, QStringLiteral("editSelectAll"),
                             [this] { return _editSelectAll_Action(); });
}

QPlainTextEdit* Window2::editField1() const {
    return findChild<QPlainTextEdit*>(QStringLiteral("EditField1"));
}

QPushButton* Window2::pushButton1() const {
    return findChild<QPushButton*>(QStringLiteral("PushButton1"));
}

void Window2::setContentSize(int width, int height) {
    resize(width, height);
}

void Window2::PushButton1_Action() {
    close();
}

void Window2::Event_EnableMenuItems() {
    if (QAction* item = MenuBar1::instance()->lookup(QStringLiteral("EditSelectAll")))
        item->setEnabled(true);
}

bool Window2::_editSelectAll_Action() {
    designed::selectWholeText(editField1());
    return false;
}
