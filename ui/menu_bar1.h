#pragma once
// The application's menu bar: the File and the Edit menu. One instance is
// shared by the whole application; the main window shows it. Menu commands
// reach the program by item name: a window (or the application) registers a
// handler under a name, and choosing the item runs the handler of the frontmost
// window, else the application's. Handler names match item names regardless of
// letter case ("editSelectAll" serves "EditSelectAll").

#include <QAction>
#include <QMenuBar>
#include <QObject>
#include <QString>
#include <functional>

class QWidget;

class MenuBar1 : public QMenuBar {
    Q_OBJECT
public:
    using MenuHandler = std::function<bool()>;

    // The shared instance, built with both menus on first call. The main window
    // takes it over with setMenuBar; once that window is gone, the next call
    // builds a new one.
    static MenuBar1* instance();
    // Deletes the shared instance if it exists (at exit).
    static void release();

    // The item (or menu) of that name anywhere in the bar; nullptr when there is none.
    QAction* lookup(const QString& name) const;

    // Registers `handler` as `owner`'s handler for the item `name`. `owner` is a
    // top-level window, or the QApplication for application-wide handlers; the
    // registration ends when the owner is destroyed.
    static void addMenuHandler(QObject* owner, const QString& name, MenuHandler handler);
    // Registers `owner`'s EnableMenuItems event, raised when a menu is about to show.
    static void addEnableMenuItemsHandler(QObject* owner, std::function<void()> handler);

    // Runs the handler for `name` of `frontmost` (a top-level window), else the
    // application's. False when no handler is registered; the handler's own
    // result is not used.
    static bool dispatch(const QString& name, QWidget* frontmost);
    // Raises the EnableMenuItems event of the application and of `frontmost`.
    static void enableMenuItems(QWidget* frontmost);

    // Construction steps: the File menu, the Edit menu.
    void Untitled0();
    void Untitled1();

private:
    MenuBar1();
    void appendMenu(const QString& name, const QString& text);
    QAction* appendItem(const QString& menuName, const QString& name, const QString& text,
                        const QString& shortcut, QAction::MenuRole role);
    void appendSeparator(const QString& menuName, const QString& name);
    void itemChosen(QAction* item);
    void standardEditCommand(const QString& name);
};
