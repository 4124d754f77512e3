// The application as the program starts it: first-run preferences, the About
// and Preferences commands by menu item name, the engine's save dialog and an
// exception that escapes an event handler.

#include "app/app.h"
#include "engine/sequencer.h"
#include "ui/menu_bar1.h"
#include "ui/window1.h"
#include "ui/window3.h"
#include "ui/window4.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        PreferenceStore::setReporter([](const QString&) { ++reports(); });
        App::instance()->startUp();
    }
    static void TearDownTestSuite() { PreferenceStore::setReporter({}); }
    static int& reports() {
        static int count = 0;
        return count;
    }
    App& app() { return *App::instance(); }
};

TEST_F(AppTest, FirstStartWritesDefaultsAndOpensOnlyTheMainWindow) {
    QFile file(app().prefFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << app().prefFile.toStdString();
    EXPECT_EQ(file.readAll(), QByteArray("needProxy: 0\nproxyAddress: \nproxyPort: 0\n"));
    EXPECT_EQ(app().pref("proxyPort"), "0");
    EXPECT_NE(Window1::openInstance(), nullptr);
    EXPECT_EQ(Window3::openInstance(), nullptr);
    EXPECT_EQ(Window4::openInstance(), nullptr);
    EXPECT_EQ(reports(), 0);
}

TEST_F(AppTest, CommandsOpenOneWindowEachByItemName) {
    const std::pair<const char*, QWidget* (*)()> cases[] = {
        {"aboutIem", [] { return static_cast<QWidget*>(Window3::openInstance()); }},
        {"prefItem", [] { return static_cast<QWidget*>(Window4::openInstance()); }},
    };
    for (const auto& [item, openInstance] : cases) {
        EXPECT_TRUE(MenuBar1::dispatch(item, nullptr)) << item << " is not bound";
        QWidget* first = openInstance();
        ASSERT_TRUE(first && first->isVisible()) << item;
        EXPECT_TRUE(MenuBar1::dispatch(item, nullptr)) << item;
        EXPECT_EQ(openInstance(), first) << item << ": a second window opened";
        first->close();
        flushDeletes();
        EXPECT_EQ(openInstance(), nullptr) << item;
    }
    EXPECT_FALSE(app()._aboutIem_Action());
    EXPECT_FALSE(app()._prefItem_Action());
    Window3::openInstance()->close();
    Window4::openInstance()->close();
    flushDeletes();
}

TEST_F(AppTest, PoolDumpGoesToTheFileChosenInTheSaveDialog) {
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("ダンプ.txt"));
    QString proposed;
    // Plays the user: types the path into the dialog's name field.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* name = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
        if (!name)
            return;
        poll.stop();
        proposed = dialog->selectedFiles().value(0);
        name->setText(target);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept is protected
    });
    poll.start(10);
    QTimer::singleShot(5000, &poll, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });

    sequencerClass sequencer;
    sequencer.Constructor();
    sequencer.appendSequence("名詞", "猫");
    sequencer.appendSequence("副詞", "ゆっくり");
    sequencer.writeToTextFile();

    EXPECT_TRUE(proposed.endsWith("/sample.txt")) << proposed.toStdString();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 22) << "21 lines, each ended by a line end";
    const char* names[] = {"名詞", "動詞+助詞", "動詞+助動詞", "動詞", "形容詞", "副詞", "その他"};
    for (int pool = 0; pool < 7; ++pool)
        EXPECT_EQ(lines[pool * 3], QByteArray(names[pool])) << "pool " << pool + 1;
    EXPECT_EQ(lines[1], QByteArray("猫"));
    EXPECT_EQ(lines[16], QByteArray("ゆっくり"));
}

// Last: it ends an event loop on purpose.
TEST_F(AppTest, ExceptionInAHandlerEndsTheLoopWithAFailureStatus) {
    QTimer::singleShot(5000, &app(), [] { QCoreApplication::exit(7); });
    QMetaObject::invokeMethod(
        &app(), [] { throw std::runtime_error("broken handler"); }, Qt::QueuedConnection);
    EXPECT_EQ(App::exec(), 1);
    EXPECT_EQ(app().unhandledFailure(), "broken handler");
}

} // namespace
