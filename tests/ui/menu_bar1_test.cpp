#include "ui/menu_bar1.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The bar as text: a line per menu and per entry, "name text shortcut role",
// entries indented; anything a lookup by name does not find is marked.
QStringList entries(const MenuBar1* bar) {
    static const std::map<int, QString> roles = {{QAction::AboutRole, " About"},
                                                 {QAction::PreferencesRole, " Preferences"},
                                                 {QAction::QuitRole, " Quit"},
                                                 {QAction::NoRole, ""}};
    QStringList lines;
    const auto add = [&](const QAction* a, const QString& indent) {
        lines << indent + a->objectName() + " " + (a->isSeparator() ? "[separator]" : "") +
                     a->text() + " " + a->shortcut().toString() + roles.at(a->menuRole()) +
                     (bar->lookup(a->objectName()) == a ? "" : " (not found)") +
                     (a->isEnabled() ? "" : " (disabled)");
    };
    for (const QAction* menu : bar->actions()) {
        add(menu, "");
        for (const QAction* item : menu->menu()->actions())
            add(item, "  ");
    }
    return lines;
}

TEST(MenuBar1, HoldsTheDesignedMenusAndItemsInOrder) {
    // A separator shows no "-" text of its own; "Cmd" is Ctrl here.
    EXPECT_EQ(
        entries(MenuBar1::instance()),
        QStringList({"FileMenu &File ", "  prefItem 環境設定 Ctrl+, Preferences",
                     "  aboutIem オリズメ  About", "  FileQuit &Quit Ctrl+Q Quit",
                     "EditMenu &Edit ", "  EditUndo &Undo Ctrl+Z", "  UntitledMenu1 [separator] ",
                     "  EditCut Cu&t Ctrl+X", "  EditCopy &Copy Ctrl+C",
                     "  EditPaste &Paste Ctrl+V", "  EditClear &Delete ",
                     "  UntitledMenu0 [separator] ", "  EditSelectAll Select &All Ctrl+A"}));
}

TEST(MenuBar1, OneInstanceUntilReleasedNeverDangling) {
    QPointer<MenuBar1> first = MenuBar1::instance();
    EXPECT_EQ(MenuBar1::instance(), first);
    MenuBar1::release();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(MenuBar1::instance(), nullptr);
    EXPECT_NE(MenuBar1::instance()->lookup("EditSelectAll"), nullptr);
}

TEST(MenuBar1, HandlersMatchNamesRegardlessOfCaseFrontmostWindowFirst) {
    QWidget window, other;
    QStringList calls;
    const auto handler = [&calls](const char* who) {
        return [&calls, who] {
            calls << who;
            return false;
        };
    };
    MenuBar1::addMenuHandler(&window, "editSelectAll", handler("window"));
    MenuBar1::addMenuHandler(qApp, "EditSelectAll", handler("application"));
    {
        QWidget gone;
        MenuBar1::addMenuHandler(&gone, "EditCut", handler("gone"));
    }
    EXPECT_TRUE(MenuBar1::dispatch("EditSelectAll", &window));
    EXPECT_TRUE(MenuBar1::dispatch("EditSelectAll", &other));
    EXPECT_FALSE(MenuBar1::dispatch("EditCopy", &window));
    EXPECT_FALSE(MenuBar1::dispatch("EditCut", nullptr)) << "a destroyed window's handler";
    EXPECT_EQ(calls, QStringList({"window", "application"}));
}

TEST(MenuBar1, EditCommandsAndShortcutsServeEveryWindow) {
    Window1::instance(); // the window that shows the bar
    QPointer<Window2> result = Window2::open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(result));
    QPlainTextEdit* field = result->editField1();
    field->setFocus();
    field->setPlainText("abc");
    const std::pair<const char*, const char*> steps[] = {{"EditCopy", "abc"},
                                                         {"EditCut", ""},
                                                         {"EditPaste", "abc"},
                                                         {"EditClear", ""},
                                                         {"EditUndo", "abc"}};
    for (const auto& [item, text] : steps) {
        field->selectAll();
        MenuBar1::instance()->lookup(item)->trigger();
        EXPECT_EQ(field->toPlainText(), text) << item;
    }
    static int chosen = 0; // the handler outlives the test
    MenuBar1::addMenuHandler(qApp, "prefItem", [] { return ++chosen < 0; });
    QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(chosen, 1) << "Ctrl+, in a result window";
    delete result.data();
    delete Window1::openInstance();
}

TEST(MenuBar1, QuitEndsTheEventLoopWithZero) {
    QTimer::singleShot(0, MenuBar1::instance()->lookup("FileQuit"), &QAction::trigger);
    QObject guard; // bounds the wait
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

} // namespace
