#include "ui/menu_bar1.h"

#include "platform/program_name.h"

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <vector>

namespace {

// The display name, also the caption of the About item.
const QString kDisplayName = platform::programName();

QPointer<MenuBar1>& sharedInstance() {
    static QPointer<MenuBar1> bar;
    return bar;
}

struct HandlerEntry {
    QPointer<QObject> owner;
    QString name;
    MenuBar1::MenuHandler handler;
};

struct EnableEntry {
    QPointer<QObject> owner;
    std::function<void()> handler;
};

std::vector<HandlerEntry>& menuHandlers() {
    static std::vector<HandlerEntry> entries;
    return entries;
}

std::vector<EnableEntry>& enableHandlers() {
    static std::vector<EnableEntry> entries;
    return entries;
}

// Drops the registrations whose owner has been destroyed.
template <typename Entry> void forgetDestroyedOwners(std::vector<Entry>& entries) {
    std::erase_if(entries, [](const Entry& entry) { return entry.owner.isNull(); });
}

// The designed shortcuts say "Cmd"; on this platform the command key is Ctrl.
QKeySequence designedShortcut(const QString& text) {
    if (text.isEmpty())
        return QKeySequence();
    QString portable = text;
    portable.replace(QStringLiteral("Cmd+"), QStringLiteral("Ctrl+"));
    return QKeySequence::fromString(portable, QKeySequence::PortableText);
}

} // namespace

MenuBar1* MenuBar1::instance() {
    QPointer<MenuBar1>& bar = sharedInstance();
    if (bar.isNull())
        bar = new MenuBar1(); // owned by the window that installs it, else freed by release()
    return bar.data();
}

void MenuBar1::release() {
    delete sharedInstance().data();
}

MenuBar1::MenuBar1() : QMenuBar(nullptr) {
    Untitled0();
    Untitled1();
}

void MenuBar1::Untitled0() {
    appendMenu(QStringLiteral("FileMenu"), QStringLiteral("&File"));
    appendItem(QStringLiteral("FileMenu"), QStringLiteral("prefItem"), QStringLiteral("環境設定"),
               QStringLiteral("Cmd+,"), QAction::PreferencesRole);
    appendItem(QStringLiteral("FileMenu"), QStringLiteral("aboutIem"), kDisplayName, QString(),
               QAction::AboutRole);
    appendItem(QStringLiteral("FileMenu"), QStringLiteral("FileQuit"), QStringLiteral("&Quit"),
               QStringLiteral("Cmd+Q"), QAction::QuitRole);
}

void MenuBar1::Untitled1() {
    const QString edit = QStringLiteral("EditMenu");
    appendMenu(edit, QStringLiteral("&Edit"));
    appendItem(edit, QStringLiteral("EditUndo"), QStringLiteral("&Undo"), QStringLiteral("Cmd+Z"),
               QAction::NoRole);
    appendSeparator(edit, QStringLiteral("UntitledMenu1"));
    appendItem(edit, QStringLiteral("EditCut"), QStringLiteral("Cu&t"), QStringLiteral("Cmd+X"),
               QAction::NoRole);
    appendItem(edit, QStringLiteral("EditCopy"), QStringLiteral("&Copy"), QStringLiteral("Cmd+C"),
               QAction::NoRole);
    appendItem(edit, QStringLiteral("EditPaste"), QStringLiteral("&Paste"), QStringLiteral("Cmd+V"),
               QAction::NoRole);
    appendItem(edit, QStringLiteral("EditClear"), QStringLiteral("&Delete"), QString(),
               QAction::NoRole);
    appendSeparator(edit, QStringLiteral("UntitledMenu0"));
    appendItem(edit, QStringLiteral("EditSelectAll"), QStringLiteral("Select &All"),
               QStringLiteral("Cmd+A"), QAction::NoRole);
}

void MenuBar1::appendMenu(const QString& name, const QString& text) {
    QMenu* menu = addMenu(text);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->menuAction()->setMenuRole(QAction::NoRole);
    connect(menu, &QMenu::aboutToShow, this,
            [] { MenuBar1::enableMenuItems(QApplication::activeWindow()); });
}

QAction* MenuBar1::appendItem(const QString& menuName, const QString& name, const QString& text,
                              const QString& shortcut, QAction::MenuRole role) {
    QMenu* menu = findChild<QMenu*>(menuName, Qt::FindDirectChildrenOnly);
    auto* item = new QAction(menu);
    item->setObjectName(name);
    item->setEnabled(true);
    item->setText(text);
    item->setShortcut(designedShortcut(shortcut));
    // Only the main window shows the bar; the shortcuts serve every window
    // (result windows, the About window, the preferences dialog).
    item->setShortcutContext(Qt::ApplicationShortcut);
    item->setMenuRole(role);
    menu->addAction(item);
    connect(item, &QAction::triggered, this, [this, item] { itemChosen(item); });
    return item;
}

void MenuBar1::appendSeparator(const QString& menuName, const QString& name) {
    QMenu* menu = findChild<QMenu*>(menuName, Qt::FindDirectChildrenOnly);
    auto* separator = new QAction(menu);
    separator->setObjectName(name);
    // No "-" text: Fusion draws a separator's text as a section label.
    separator->setSeparator(true);
    separator->setMenuRole(QAction::NoRole);
    menu->addAction(separator);
}

QAction* MenuBar1::lookup(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    return findChild<QAction*>(name);
}

void MenuBar1::addMenuHandler(QObject* owner, const QString& name, MenuHandler handler) {
    if (!owner || !handler)
        return;
    forgetDestroyedOwners(menuHandlers());
    menuHandlers().push_back({owner, name, std::move(handler)});
}

void MenuBar1::addEnableMenuItemsHandler(QObject* owner, std::function<void()> handler) {
    if (!owner || !handler)
        return;
    forgetDestroyedOwners(enableHandlers());
    enableHandlers().push_back({owner, std::move(handler)});
}

bool MenuBar1::dispatch(const QString& name, QWidget* frontmost) {
    forgetDestroyedOwners(menuHandlers());
    QObject* window = frontmost ? frontmost->window() : nullptr;
    const auto find = [&name](const QObject* owner) -> MenuHandler {
        for (const HandlerEntry& entry : menuHandlers())
            if (owner && entry.owner == owner && entry.name.compare(name, Qt::CaseInsensitive) == 0)
                return entry.handler;
        return {};
    };
    // A copy: the handler may register or destroy windows while it runs.
    MenuHandler handler = find(window);
    if (!handler)
        handler = find(QCoreApplication::instance());
    if (!handler)
        return false;
    handler();
    return true;
}

void MenuBar1::enableMenuItems(QWidget* frontmost) {
    forgetDestroyedOwners(enableHandlers());
    QObject* window = frontmost ? frontmost->window() : nullptr;
    std::vector<std::function<void()>> due;
    for (const EnableEntry& entry : enableHandlers())
        if (entry.owner == QCoreApplication::instance() || (window && entry.owner == window))
            due.push_back(entry.handler);
    for (const auto& handler : due)
        handler();
}

void MenuBar1::itemChosen(QAction* item) {
    const QString name = item->objectName();
    if (dispatch(name, QApplication::activeWindow()))
        return;
    if (name == QLatin1String("FileQuit")) {
        // Quitting ends the event loop with status 0; open windows do not get a say.
        QCoreApplication::exit(0);
        return;
    }
    standardEditCommand(name);
}

void MenuBar1::standardEditCommand(const QString& name) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* field = qobject_cast<QPlainTextEdit*>(focus)) {
        if (name == QLatin1String("EditUndo"))
            field->undo();
        else if (name == QLatin1String("EditCut"))
            field->cut();
        else if (name == QLatin1String("EditCopy"))
            field->copy();
        else if (name == QLatin1String("EditPaste"))
            field->paste();
        else if (name == QLatin1String("EditClear") && !field->isReadOnly())
            field->textCursor().removeSelectedText();
    } else if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        if (name == QLatin1String("EditUndo"))
            line->undo();
        else if (name == QLatin1String("EditCut"))
            line->cut();
        else if (name == QLatin1String("EditCopy"))
            line->copy();
        else if (name == QLatin1String("EditPaste"))
            line->paste();
        else if (name == QLatin1String("EditClear"))
            line->del();
    }
}
