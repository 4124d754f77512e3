#include "ui/menu_bar1.h"
#include "ui/window1.h"
#include "ui/window2.h"

#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(MenuBar1, HoldsTheDesignedMenusAndItemsInOrder) {
    struct Entry {
        const char* name;
        const char* text; // "-" for a separator, which shows no text
        int key;          // with Ctrl; 0 for no shortcut
        QAction::MenuRole role = QAction::NoRole;
    };
    const std::vector<std::pair<const char*, std::vector<Entry>>> menus = {
        {"FileMenu",
         {{"prefItem", "環境設定", Qt::Key_Comma, QAction::PreferencesRole},
          {"aboutIem", "オリズメ", 0, QAction::AboutRole},
          {"FileQuit", "&Quit", Qt::Key_Q, QAction::QuitRole}}},
        {"EditMenu",
         {{"EditUndo", "&Undo", Qt::Key_Z},
          {"UntitledMenu1", "-", 0},
          {"EditCut", "Cu&t", Qt::Key_X},
          {"EditCopy", "&Copy", Qt::Key_C},
          {"EditPaste", "&Paste", Qt::Key_V},
          {"EditClear", "&Delete", 0},
          {"UntitledMenu0", "-", 0},
          {"EditSelectAll", "Select &All", Qt::Key_A}}},
    };
    MenuBar1* bar = MenuBar1::instance();
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->text(), "&File");
    EXPECT_EQ(bar->actions()[1]->text(), "&Edit");
    for (int m = 0; m < 2; ++m) {
        EXPECT_EQ(bar->actions()[m], bar->lookup(menus[m].first));
        const QList<QAction*> items = bar->actions()[m]->menu()->actions();
        ASSERT_EQ(items.size(), qsizetype(menus[m].second.size())) << menus[m].first;
        for (int i = 0; i < items.size(); ++i) {
            const Entry& e = menus[m].second[i];
            SCOPED_TRACE(e.name);
            EXPECT_EQ(items[i], bar->lookup(e.name));
            const bool separator = e.text == std::string("-");
            EXPECT_EQ(items[i]->text(), separator ? QString() : QString::fromUtf8(e.text));
            EXPECT_EQ(items[i]->shortcut(),
                      e.key ? QKeySequence(Qt::CTRL | e.key) : QKeySequence());
            EXPECT_EQ(items[i]->menuRole(), e.role);
            EXPECT_EQ(items[i]->isSeparator(), separator);
            EXPECT_TRUE(items[i]->isEnabled());
        }
    }
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
    QWidget window;
    QWidget other;
    std::vector<std::string> calls;
    auto handler = [&calls](const char* who) {
        return [&calls, who] {
            calls.push_back(who);
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
    EXPECT_EQ(calls, (std::vector<std::string>{"window", "application"}));
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
