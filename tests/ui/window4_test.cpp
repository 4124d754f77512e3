#include "tests/support/temporary_config.h"
#include "ui/window4.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <tuple>
#include <vector>

namespace {

class Window4Test : public testing_support::TemporaryConfig {
protected:
    void SetUp() override {
        TemporaryConfig::SetUp();
        store.loadPreferences();
    }
    void TearDown() override {
        closeDialog();
        TemporaryConfig::TearDown();
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
    PreferenceStore store;
};

TEST_F(Window4Test, DesignedValues) {
    Window4* dialog = Window4::instance();
    EXPECT_EQ(dialog->size(), QSize(385, 170));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "not resizable";
    const auto caption = [](QWidget* control) {
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            return button->text();
        auto* label = qobject_cast<QLabel*>(control);
        return label ? label->text() : QString();
    };
    // name, position and size, caption (the fields show the store, not a caption)
    const std::tuple<const char*, QRect, const char*> controls[] = {
        {"CheckBox1", {20, 14, 298, 20}, "Proxyサーバを使用する"},
        {"StaticText1", {41, 46, 60, 20}, "Address"},
        {"EditField1", {107, 46, 258, 22}, ""},
        {"StaticText2", {41, 79, 54, 20}, "Port"},
        {"EditField2", {107, 79, 82, 22}, ""},
        {"PushButton1", {285, 130, 80, 20}, "OK"},
    };
    for (const auto& [name, geometry, text] : controls) {
        QWidget* control = dialog->findChild<QWidget*>(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->geometry(), geometry) << name;
        EXPECT_EQ(caption(control), QString::fromUtf8(text)) << name;
    }
    EXPECT_TRUE(dialog->pushButton1()->isDefault());
    EXPECT_EQ(dialog->findChildren<QPushButton*>().size(), 1) << "no Cancel button";
}

TEST_F(Window4Test, OpenFillsTheFieldsAndOkWritesUntouchedValuesBack) {
    store.prefDictionary["proxyAddress"] = "proxy.example";
    // The box is checked only for exactly "1". A stored port, whatever it
    // holds, comes back unchanged; typing at its end adds only digits, and
    // only while the field then holds at most five characters.
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"1", "10080", "9", "10080"},
        {"0", "8o8o", "x-9", "8o8o9"},
        {"", "123456", "7", "123456"},
        {"true", "", "", ""},
        {"1 ", "0", "9x9", "099"}};
    for (const auto& [value, port, typed, written] : cases) {
        const bool on = QByteArray(value) == "1";
        store.prefDictionary["needProxy"] = value;
        store.prefDictionary["proxyPort"] = port;
        Window4* dialog = Window4::instance();
        EXPECT_EQ(dialog->windowTitle(), "Untitled");
        EXPECT_FALSE(dialog->isModal());
        EXPECT_EQ(enabled(dialog), std::vector<bool>(4, on)) << "'" << value << "'";
        EXPECT_EQ(dialog->editField1()->text(), "proxy.example");
        dialog->checkBox1()->setChecked(!on);
        EXPECT_EQ(enabled(dialog), std::vector<bool>(4, !on)) << "'" << value << "' toggled";
        dialog->checkBox1()->setChecked(true);
        QTest::keyClicks(dialog->editField2(), typed);
        dialog->PushButton1_Action();
        EXPECT_TRUE(fileBytes().endsWith("proxyPort: " + QByteArray(written) + "\n"))
            << port << " + " << typed << ": " << fileBytes().data();
    }
}

TEST_F(Window4Test, OkStoresAsTypedWritesAndClosesOrStaysWhenTheWriteFails) {
    // Closed with its close button: nothing stored, edits kept only while it is open.
    const QByteArray defaults = fileBytes();
    Window4::instance()->editField1()->setText("typed");
    EXPECT_EQ(Window4::instance()->editField1()->text(), "typed") << "one dialog while open";
    closeDialog();
    EXPECT_EQ(fileBytes(), defaults);
    Window4* dialog = Window4::instance();
    EXPECT_EQ(dialog->editField1()->text(), "") << "a new dialog reads the store";

    dialog->checkBox1()->setChecked(true);
    dialog->editField1()->setText(" host ");
    QLineEdit* port = dialog->editField2();
    port->clear();
    // Typing works wherever the field is clicked: digits only, up to five.
    QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(port->width() - 4, port->height() / 2));
    QTest::keyClicks(port, "6a5-5353");
    QTest::mouseClick(dialog->pushButton1(), Qt::LeftButton);
    EXPECT_EQ(fileBytes(), "needProxy: 1\nproxyAddress:  host \nproxyPort: 65535\n");
    EXPECT_EQ(Window4::openInstance(), nullptr) << "OK closes the dialog";
    closeDialog();

    dialog = Window4::instance();
    dialog->checkBox1()->setChecked(false);
    dialog->editField1()->setText("kept"); // stored even with the box unchecked
    ASSERT_TRUE(QFile::remove(path()) && QDir().mkdir(path()));
    QTest::mouseClick(dialog->pushButton1(), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 1u) << "a folder in the file's place cannot be replaced";
    EXPECT_TRUE(reports[0].startsWith("環境設定ファイルを保存できません"))
        << reports[0].toStdString();
    EXPECT_EQ(Window4::openInstance(), dialog) << "nothing typed is lost";
    EXPECT_EQ(store.pref("needProxy"), "0");
    EXPECT_EQ(store.pref("proxyAddress"), "kept");
}

} // namespace
