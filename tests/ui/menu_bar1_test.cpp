#include "ui/menu_bar1.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <string_view>
#include <vector>

namespace {

struct Entry {
    const char* menu;
    const char* name;
    const char* text; // "-" for a separator
    int key;          // with Ctrl; 0 for no shortcut
    QAction::MenuRole role;
};

constexpr QAction::MenuRole kNone = QAction::NoRole;

const std::vector<Entry>& designedEntries() {
    static const std::vector<Entry> entries = {
        {"FileMenu", "prefItem", "環境設定", Qt::Key_Comma, QAction::PreferencesRole},
        {"FileMenu", "aboutIem", "オリズメ", 0, QAction::AboutRole},
        {"FileMenu", "FileQuit", "&Quit", Qt::Key_Q, QAction::QuitRole},
        {"EditMenu", "EditUndo", "&Undo", Qt::Key_Z, kNone},
        {"EditMenu", "UntitledMenu1", "-", 0, kNone},
        {"EditMenu", "EditCut", "Cu&t", Qt::Key_X, kNone},
        {"EditMenu", "EditCopy", "&Copy", Qt::Key_C, kNone},
        {"EditMenu", "EditPaste", "&Paste", Qt::Key_V, kNone},
        {"EditMenu", "EditClear", "&Delete", 0, kNone},
        {"EditMenu", "UntitledMenu0", "-", 0, kNone},
        {"EditMenu", "EditSelectAll", "Select &All", Qt::Key_A, kNone},
    };
    return entries;
}

TEST(MenuBar1, HoldsTheDesignedMenusAndItemsInOrder) {
    MenuBar1* bar = MenuBar1::instance();
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0], bar->lookup("FileMenu"));
    EXPECT_EQ(bar->actions()[0]->text(), "&File");
    EXPECT_EQ(bar->actions()[1], bar->lookup("EditMenu"));
    EXPECT_EQ(bar->actions()[1]->text(), "&Edit");

    std::map<QString, int> position;
    for (const Entry& e : designedEntries()) {
        SCOPED_TRACE(e.name);
        const QMenu* menu = bar->lookup(e.menu)->menu();
        ASSERT_NE(menu, nullptr);
        const int index = position[e.menu]++;
        ASSERT_LT(index, menu->actions().size());
        const QAction* item = menu->actions()[index];
        EXPECT_EQ(item, bar->lookup(e.name));
        EXPECT_EQ(item->objectName(), e.name);
        EXPECT_EQ(item->text(), QString::fromUtf8(e.text));
        EXPECT_EQ(item->shortcut(), e.key ? QKeySequence(Qt::CTRL | e.key) : QKeySequence());
        EXPECT_EQ(item->menuRole(), e.role);
        EXPECT_EQ(item->isSeparator(), std::string_view(e.text) == "-");
        EXPECT_TRUE(item->isEnabled());
    }
    EXPECT_EQ(bar->lookup("FileMenu")->menu()->actions().size(), position["FileMenu"]);
    EXPECT_EQ(bar->lookup("EditMenu")->menu()->actions().size(), position["EditMenu"]);
    EXPECT_EQ(bar->lookup("NoSuchItem"), nullptr);
}

TEST(MenuBar1, OneInstanceUntilReleasedNeverDangling) {
    MenuBar1* first = MenuBar1::instance();
    EXPECT_EQ(MenuBar1::instance(), first);
    MenuBar1::release();
    MenuBar1* second = MenuBar1::instance();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->lookup("EditSelectAll"), nullptr);
}

TEST(MenuBar1, HandlersMatchNamesRegardlessOfCaseFrontmostWindowFirst) {
    QWidget window;
    QWidget other;
    std::vector<std::string> calls;
    MenuBar1::addMenuHandler(&window, "editSelectAll", [&] {
        calls.push_back("window");
        return false;
    });
    MenuBar1::addMenuHandler(qApp, "EditSelectAll", [&] {
        calls.push_back("application");
        return false;
    });
    EXPECT_TRUE(MenuBar1::dispatch("EditSelectAll", &window));
    EXPECT_TRUE(MenuBar1::dispatch("EditSelectAll", &other));
    EXPECT_FALSE(MenuBar1::dispatch("EditCopy", &window));
    EXPECT_EQ(calls, (std::vector<std::string>{"window", "application"}));

    {
        QWidget gone;
        MenuBar1::addMenuHandler(&gone, "EditCut", [&] {
            calls.push_back("gone");
            return false;
        });
    }
    EXPECT_FALSE(MenuBar1::dispatch("EditCut", nullptr)) << "a destroyed window's handler";
}

TEST(MenuBar1, QuitEndsTheEventLoopWithZero) {
    QAction* quit = MenuBar1::instance()->lookup("FileQuit");
    QTimer::singleShot(0, quit, &QAction::trigger);
    QTimer guard; // bounds the wait
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
}

} // namespace
