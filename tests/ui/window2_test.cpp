#include "ui/window2.h"

#include "ui/menu_bar1.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class Window2Test : public ::testing::Test {
protected:
    void TearDown() override { qDeleteAll(windows); }
    Window2* open() {
        windows.append(Window2::open());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(windows.last(), 5000));
        return windows.last();
    }
    QList<QPointer<Window2>> windows;
};

TEST_F(Window2Test, DesignedValuesLocksOnResizeAndSelectAll) {
    Window2* window = open();
    EXPECT_EQ(window->windowTitle(), "結果");
    EXPECT_EQ(window->parentWidget(), nullptr) << "lives on its own";
    EXPECT_EQ(window->size(), QSize(584, 403));
    EXPECT_EQ(window->editField1()->geometry(), QRect(0, -1, 584, 345));
    EXPECT_EQ(window->pushButton1()->geometry(), QRect(484, 363, 80, 20));
    EXPECT_EQ(window->pushButton1()->text(), "OK");
    EXPECT_TRUE(window->pushButton1()->isDefault());
    window->setContentSize(634, 473);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->size() == QSize(634, 473); }, 5000));
    EXPECT_EQ(window->editField1()->geometry(), QRect(0, -1, 634, 415));
    EXPECT_EQ(window->pushButton1()->geometry(), QRect(534, 433, 80, 20));

    const QString text = QStringLiteral("結果の文章😀です");
    window->editField1()->setPlainText(text);
    EXPECT_TRUE(MenuBar1::dispatch("EditSelectAll", window));
    EXPECT_EQ(window->editField1()->textCursor().selectedText(), text);
    QAction* selectAll = MenuBar1::instance()->lookup("EditSelectAll");
    selectAll->setEnabled(false);
    MenuBar1::enableMenuItems(window);
    EXPECT_TRUE(selectAll->isEnabled());
}

TEST_F(Window2Test, OkAndTheCloseButtonCloseOnlyTheirOwnWindow) {
    Window2* first = open();
    Window2* second = open();
    Window2* third = open();
    second->editField1()->setPlainText("二つ目");
    QTest::mouseClick(first->pushButton1(), Qt::LeftButton);
    third->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows[0].isNull() && windows[2].isNull(); }, 5000))
        << "closed result windows are deleted";
    ASSERT_FALSE(windows[1].isNull());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->editField1()->toPlainText(), "二つ目");
}

} // namespace
