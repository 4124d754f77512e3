// The preferences dialog: filled from the store, the check box driving the
// four controls, "OK" storing and writing, the close button changing nothing,
// one dialog while open.

#include "app/preference_store.h"
#include "ui/window4.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class Window4Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        PreferenceStore::setReporter([this](const QString& text) { reports.push_back(text); });
        store = std::make_unique<PreferenceStore>();
        store->loadPreferences();
    }
    void TearDown() override {
        closeDialog();
        PreferenceStore::setReporter({});
    }

    static void closeDialog() {
        if (Window4* dialog = Window4::openInstance())
            dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Whether "Address", its field, "Port" and its field are each enabled.
    static std::vector<bool> enabled(Window4* d) {
        return {d->staticText1()->isEnabled(), d->editField1()->isEnabled(),
                d->staticText2()->isEnabled(), d->editField2()->isEnabled()};
    }
    QByteArray fileBytes() const {
        QFile file(store->prefFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir config;
    std::unique_ptr<PreferenceStore> store;
    std::vector<QString> reports;
};

TEST_F(Window4Test, OpenChecksTheBoxOnlyForExactlyOne) {
    for (const char* value : {"1", "0", "", "true", "1 "}) {
        const bool on = QByteArray(value) == "1";
        store->prefDictionary["needProxy"] = value;
        Window4* dialog = Window4::instance();
        EXPECT_EQ(dialog->checkBox1()->isChecked(), on) << "'" << value << "'";
        EXPECT_EQ(enabled(dialog), std::vector<bool>(4, on)) << "'" << value << "'";
        closeDialog();
    }
}

TEST_F(Window4Test, OpenFillsTheFieldsAndTogglingDrivesAllFour) {
    store->prefDictionary["proxyAddress"] = "proxy.example";
    store->prefDictionary["proxyPort"] = "8080";
    Window4* dialog = Window4::instance();
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->editField1()->text(), "proxy.example");
    EXPECT_EQ(dialog->editField2()->text(), "8080");
    for (bool on : {true, false, true}) {
        dialog->checkBox1()->setChecked(on);
        EXPECT_EQ(enabled(dialog), std::vector<bool>(4, on)) << on;
    }
    // The port takes up to four digits and nothing else.
    dialog->editField2()->clear();
    dialog->editField2()->setFocus();
    QTest::keyClicks(dialog->editField2(), "8a0-8012");
    EXPECT_EQ(dialog->editField2()->text(), "8080");
}

TEST_F(Window4Test, OkStoresAsTypedWritesAndCloses) {
    struct Case {
        bool on;
        QString address, port;
        QByteArray file;
    };
    const std::vector<Case> cases = {
        {false, "", "", "needProxy: 0\nproxyAddress: \nproxyPort: \n"},
        {false, " host ", "81", "needProxy: 0\nproxyAddress:  host \nproxyPort: 81\n"},
        {true, "proxy", "3128", "needProxy: 1\nproxyAddress: proxy\nproxyPort: 3128\n"},
    };
    for (const Case& c : cases) {
        Window4* dialog = Window4::instance();
        dialog->checkBox1()->setChecked(c.on);
        dialog->editField1()->setText(c.address);
        dialog->editField2()->setText(c.port);
        QTest::mouseClick(dialog->pushButton1(), Qt::LeftButton);
        EXPECT_EQ(store->pref("proxyAddress"), c.address);
        EXPECT_EQ(fileBytes(), c.file);
        EXPECT_EQ(Window4::openInstance(), nullptr) << "OK closes the dialog";
        closeDialog();
    }
    EXPECT_TRUE(reports.empty());

    // A folder in the file's place cannot be replaced: told, and the dialog stays.
    ASSERT_TRUE(QFile::remove(store->prefFile) && QDir().mkdir(store->prefFile));
    Window4* dialog = Window4::instance();
    dialog->editField1()->setText("kept");
    QTest::mouseClick(dialog->pushButton1(), Qt::LeftButton);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(Window4::openInstance(), dialog);
    EXPECT_EQ(store->pref("proxyAddress"), "kept");
}

TEST_F(Window4Test, CloseButtonStoresNothingAndOneDialogKeepsEdits) {
    const QByteArray before = fileBytes();
    Window4* dialog = Window4::instance();
    dialog->checkBox1()->setChecked(true);
    dialog->editField1()->setText("typed");
    EXPECT_EQ(Window4::instance(), dialog);
    EXPECT_EQ(dialog->editField1()->text(), "typed") << "unsaved edits stay while open";
    closeDialog();
    EXPECT_EQ(Window4::openInstance(), nullptr);
    EXPECT_EQ(store->pref("needProxy"), "0");
    EXPECT_EQ(store->pref("proxyAddress"), "");
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(Window4::instance()->editField1()->text(), "") << "a new dialog reads the store";
}

} // namespace
