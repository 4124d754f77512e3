#include "ui/window1.h"

#include "ui/menu_bar1.h"
#include "ui/picture_canvas.h"
#include "ui/window2.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Receives what QDesktopServices::openUrl would open in the browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class Window1Test : public ::testing::Test {
protected:
    void SetUp() override {
        window = Window1::instance();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 5000));
    }
    void TearDown() override {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<Window2*>(top))
                delete top;
        delete Window1::openInstance();
    }
    template <typename T> T* control(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    // Resizes the content area and waits (bounded) until the window has taken the size.
    bool resizeContent(QSize size, QSize expected) {
        window->setContentSize(size.width(), size.height());
        return QTest::qWaitFor([&] { return window->contentSize() == expected; }, 5000);
    }
    Window1* window = nullptr;
};

TEST_F(Window1Test, StartsWithItsDesignedValues) {
    EXPECT_EQ(Window1::instance(), window);
    EXPECT_EQ(window->windowTitle(), "オリズメ");
    EXPECT_EQ(window->contentSize(), QSize(634, 473));
    EXPECT_EQ(window->menuWidget(), MenuBar1::instance());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->editField1()->toPlainText().isEmpty());
    EXPECT_TRUE(window->staticText1()->text().isEmpty());
    EXPECT_FALSE(window->progressWheel1()->isVisible());
    EXPECT_FALSE(window->hasChanged);
    EXPECT_EQ(window->mySequence, nullptr);
    ASSERT_NE(window->tcpSocket1(), nullptr);
    EXPECT_EQ(control<QPushButton>("PushButton1")->text(), "Parse");
    EXPECT_TRUE(control<QPushButton>("PushButton1")->isDefault());
    EXPECT_EQ(control<QPushButton>("PushButton2")->text(), "Clear");
    EXPECT_EQ(control<PictureCanvas>("Canvas1")->backdrop().size(), QSize(88, 35));
}

TEST_F(Window1Test, ControlsKeepTheirLockedEdgesOnResize) {
    struct Case {
        const char* name;
        QRect designed;
        QRect grown; // content area 834 x 573
    };
    const Case cases[] = {
        {"EditField1", {0, -1, 634, 421}, {0, -1, 834, 521}},
        {"PushButton1", {508, 433, 80, 20}, {708, 533, 80, 20}},
        {"Canvas1", {15, 425, 88, 35}, {15, 525, 88, 35}},
        {"PushButton2", {120, 433, 80, 20}, {120, 533, 80, 20}},
        {"StaticText1", {250, 433, 240, 20}, {450, 533, 240, 20}},
        {"ProgressWheel1", {600, 435, 16, 16}, {800, 535, 16, 16}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(control<QWidget>(c.name)->geometry(), c.designed) << c.name;
    ASSERT_TRUE(resizeContent({834, 573}, {834, 573}));
    for (const Case& c : cases)
        EXPECT_EQ(control<QWidget>(c.name)->geometry(), c.grown) << c.name;
    EXPECT_TRUE(resizeContent({10, 10}, {64, 64})) << "the content area stays at least 64 x 64";
}

TEST_F(Window1Test, HasChangedFollowsEveryEdit) {
    QPlainTextEdit* field = window->editField1();
    QTest::keyClick(field, Qt::Key_Space);
    EXPECT_TRUE(window->hasChanged) << "one blank typed";
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(window->hasChanged) << "blank deleted";
    field->setPlainText("形態素");
    EXPECT_TRUE(window->hasChanged) << "set by the program";
    window->staticText1()->setText("12文字");
    QTest::mouseClick(control<QPushButton>("PushButton2"), Qt::LeftButton);
    EXPECT_TRUE(field->toPlainText().isEmpty()) << "Clear";
    EXPECT_FALSE(window->hasChanged) << "Clear";
    EXPECT_EQ(window->staticText1()->text(), "12文字") << "Clear keeps the status line";
}

TEST_F(Window1Test, StatusLineCountsCharactersInBlack) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"", "0文字"},  {"漢字三", "3文字"}, {"かなカナ", "4文字"},
        {"😀", "1文字"}, {"a\nb", "3文字"},   {"  ", "2文字"},
    };
    for (const Case& c : cases) {
        window->editField1()->setPlainText(QString::fromUtf8(c.text));
        window->setStatusColor(QColor(255, 0, 0));
        window->showTextLength();
        EXPECT_EQ(window->staticText1()->text(), QString::fromUtf8(c.shown)) << c.text;
        EXPECT_EQ(window->staticText1()->palette().color(QPalette::WindowText), QColor(0, 0, 0))
            << c.text;
    }
}

TEST_F(Window1Test, SelectAllSelectsTheWholeText) {
    QPlainTextEdit* field = window->editField1();
    EXPECT_FALSE(window->_EditSelectAll_Action());
    EXPECT_FALSE(field->textCursor().hasSelection()) << "empty field";

    const QString text = QStringLiteral("一行目\n二行目😀");
    field->setPlainText(text);
    EXPECT_TRUE(MenuBar1::dispatch("EditSelectAll", window));
    const QTextCursor cursor = field->textCursor();
    EXPECT_EQ(cursor.selectionStart(), 0);
    EXPECT_EQ(cursor.selectedText().replace(QChar::ParagraphSeparator, u'\n'), text);
    EXPECT_FALSE(window->_EditSelectAll_Action());
}

TEST_F(Window1Test, BadgeOpensTheServicePageOnceAndShowsAPointingHand) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    auto* badge = control<PictureCanvas>("Canvas1");
    QTest::mouseRelease(badge, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(catcher.opened.isEmpty()) << "a release without a press";
    QTest::mousePress(badge, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(badge, Qt::LeftButton, {}, QPoint(400, -300));
    QDesktopServices::unsetUrlHandler("http");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl(QStringLiteral(ORIZUME_SERVICE_PAGE)));

    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QApplication::sendEvent(badge, &enter);
    EXPECT_EQ(badge->cursor().shape(), Qt::PointingHandCursor);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(badge, &leave);
    EXPECT_EQ(badge->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Window1Test, ClosingQuitsWithZeroAndLeavesResultWindowsAlone) {
    QPointer<Window2> result = Window2::open();
    QTimer::singleShot(0, window, &QWidget::close);
    QTimer guard; // bounds the wait
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    ASSERT_FALSE(result.isNull());
    EXPECT_TRUE(result->isVisible());
}

} // namespace

#include "window1_test.moc"
