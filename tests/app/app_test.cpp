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

int reports = 0;

class AppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        PreferenceStore::setReporter([](const QString&) { ++reports; });
        App::instance()->startUp();
    }
    static void TearDownTestSuite() { PreferenceStore::setReporter({}); }
    App& app() { return *App::instance(); }
};

TEST_F(AppTest, FirstStartWritesDefaultsAndOpensOnlyTheMainWindow) {
    EXPECT_TRUE(QFile::exists(app().prefFile)) << app().prefFile.toStdString();
    EXPECT_EQ(app().pref("proxyPort"), "0");
    EXPECT_NE(Window1::openInstance(), nullptr);
    EXPECT_EQ(Window3::openInstance(), nullptr);
    EXPECT_EQ(Window4::openInstance(), nullptr);
    EXPECT_EQ(reports, 0);
}

TEST_F(AppTest, AboutAndPreferencesAreBoundByItemNameAndAlwaysEnabled) {
    MenuBar1* bar = MenuBar1::instance();
    for (const char* name : {"aboutIem", "prefItem"})
        bar->lookup(name)->setEnabled(false);
    MenuBar1::enableMenuItems(nullptr);
    EXPECT_TRUE(bar->lookup("aboutIem")->isEnabled() && bar->lookup("prefItem")->isEnabled());
    EXPECT_TRUE(MenuBar1::dispatch("aboutIem", nullptr));
    EXPECT_TRUE(MenuBar1::dispatch("prefItem", nullptr));
    ASSERT_TRUE(Window3::openInstance() && Window4::openInstance());
    EXPECT_TRUE(Window3::openInstance()->isVisible() && Window4::openInstance()->isVisible());
    EXPECT_FALSE(app()._aboutIem_Action() || app()._prefItem_Action()) << "commands return false";
    Window3::openInstance()->close();
    Window4::openInstance()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(AppTest, PoolDumpGoesToTheFileChosenInTheSaveDialog) {
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("ダンプ.txt"));
    QString proposed;
    QTimer user; // answers the dialog once it is up
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            user.stop();
            proposed = dialog->selectedFiles().value(0);
            // Typed into the name field: selectFile() leaves that field alone
            // whenever it has the focus.
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept is protected
        }
    });
    user.start(10);
    sequencerClass sequencer;
    sequencer.Constructor();
    sequencer.appendSequence("名詞", "猫");
    sequencer.writeToTextFile();

    EXPECT_TRUE(proposed.endsWith("/sample.txt")) << proposed.toStdString();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("名詞\n猫\n\n動詞+助詞\n"));
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
