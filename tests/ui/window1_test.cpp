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
    void TearDown() override { delete Window1::openInstance(); }
    template <typename T = QWidget> T* control(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    bool resizeContent(QSize size, QSize expected) {
        window->setContentSize(size.width(), size.height());
        return QTest::qWaitFor([&] { return window->contentSize() == expected; }, 5000);
    }
    Window1* window = nullptr;
};

TEST_F(Window1Test, DesignedValuesAndLockedEdgesOnResize) {
    EXPECT_EQ(window->windowTitle(), "オリズメ");
    EXPECT_EQ(window->menuWidget(), MenuBar1::instance());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window->progressWheel1()->isVisible());
    EXPECT_EQ(window->maximumWidth(), 32000)
        << "the window manager reads the limits from the window";
    EXPECT_TRUE(window->staticText1()->alignment().testFlag(Qt::AlignRight));
    EXPECT_EQ(window->staticText1()->palette().color(QPalette::WindowText), Qt::black);
    EXPECT_TRUE(control<QPushButton>("PushButton1")->isDefault());
    EXPECT_EQ(control<PictureCanvas>("Canvas1")->backdrop().size(), QSize(88, 35));

    EXPECT_EQ(window->contentSize(), QSize(634, 473));
    ASSERT_TRUE(resizeContent({834, 573}, {834, 573}));
    const std::pair<const char*, QRect> grown[] = {
        {"EditField1", {0, -1, 834, 521}},    {"PushButton1", {708, 533, 80, 20}},
        {"Canvas1", {15, 525, 88, 35}},       {"PushButton2", {120, 533, 80, 20}},
        {"StaticText1", {450, 533, 240, 20}}, {"ProgressWheel1", {800, 535, 16, 16}}};
    for (const auto& [name, rect] : grown)
        EXPECT_EQ(control(name)->geometry(), rect) << name;
    EXPECT_TRUE(resizeContent({10, 10}, {64, 64})) << "the content area stays at least 64 x 64";
}

TEST_F(Window1Test, HasChangedFollowsEveryEditAndClearKeepsTheStatusLine) {
    QPlainTextEdit* field = window->editField1();
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_FALSE(window->hasChanged) << "Tab moves the focus";
    QTest::keyClick(field, Qt::Key_Space);
    EXPECT_TRUE(window->hasChanged) << "one blank typed";
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(window->hasChanged) << "blank deleted";
    field->setPlainText("形態素");
    EXPECT_TRUE(window->hasChanged) << "set by the program";
    window->staticText1()->setText("12文字");
    QTest::mouseClick(control<QPushButton>("PushButton2"), Qt::LeftButton);
    EXPECT_TRUE(field->toPlainText().isEmpty());
    EXPECT_FALSE(window->hasChanged);
    EXPECT_EQ(window->staticText1()->text(), "12文字");
}

TEST_F(Window1Test, StatusLineCountsCharactersInBlack) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "0文字"}, {"漢字三", "3文字"}, {"😀", "1文字"}, {"a\nb", "3文字"}, {"  ", "2文字"}};
    for (const auto& [text, shown] : cases) {
        window->editField1()->setPlainText(QString::fromUtf8(text));
        window->setStatusColor(QColor(255, 0, 0));
        window->showTextLength();
        EXPECT_EQ(window->staticText1()->text(), QString::fromUtf8(shown)) << text;
        EXPECT_EQ(window->staticText1()->palette().color(QPalette::WindowText), Qt::black) << text;
    }
}

TEST_F(Window1Test, SelectAllSelectsTheWholeText) {
    QPlainTextEdit* field = window->editField1();
    const QString text = QStringLiteral("一行目\n二行目😀");
    field->setPlainText(text);
    EXPECT_TRUE(MenuBar1::dispatch("EditSelectAll", window));
    EXPECT_EQ(field->textCursor().selectionStart(), 0);
    EXPECT_EQ(field->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n'), text);
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
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl(QStringLiteral(ORIZUME_SERVICE_PAGE))});

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
    QObject guard; // bounds the wait
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    ASSERT_FALSE(result.isNull());
    EXPECT_TRUE(result->isVisible());
    delete result.data();
}

} // namespace

#include "window1_test.moc"
