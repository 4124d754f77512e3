#include "ui/window4.h"

#include "app/preference_store.h"
#include "ui/designed_controls.h"
#include "ui/port_field.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

QPointer<Window4> openDialog;

const QString needProxyKey = QStringLiteral("needProxy");
const QString proxyAddressKey = QStringLiteral("proxyAddress");
const QString proxyPortKey = QStringLiteral("proxyPort");

} // namespace

Window4* Window4::instance() {
    if (openDialog)
        return openDialog;
    auto* dialog = new Window4;
    openDialog = dialog;
    dialog->Event_Open();
    dialog->show(); // not modal: the main window stays usable
    return dialog;
}

Window4* Window4::openInstance() {
    return openDialog;
}

Window4::Window4() {
    Layout();
    CreateControls();
    AddMenuHandlers();
    // However the dialog ends (close button, Escape, "OK"), it is gone for good:
    // the next Preferences command builds a new one that reads the store again.
    connect(this, &QDialog::finished, this, [this] {
        if (openDialog == this)
            openDialog = nullptr;
        deleteLater();
    });
}

Window4::~Window4() {
    if (openDialog == this)
        openDialog = nullptr;
}

void Window4::Layout() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Untitled"));
    setFixedSize(385, 170);
}

void Window4::CreateControls() {
    auto* box = new QCheckBox(QStringLiteral("Proxyサーバを使用する"), this);
    box->setObjectName(QStringLiteral("CheckBox1"));
    box->setGeometry(20, 14, 298, 20);
    box->setChecked(false);
    // toggled fires for the program's changes too, which Event_Open relies on.
    connect(box, &QCheckBox::toggled, this, &Window4::CheckBox1_Action);

    auto* addressLabel = new QLabel(QStringLiteral("Address"), this);
    addressLabel->setObjectName(QStringLiteral("StaticText1"));
    addressLabel->setGeometry(41, 46, 60, 20);
    addressLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    addressLabel->setFont(designed::fontOrDefault(QStringLiteral("Osaka")));
    addressLabel->setEnabled(false);

    auto* address = new QLineEdit(this);
    address->setObjectName(QStringLiteral("EditField1"));
    address->setGeometry(107, 46, 258, 22);
    address->setEnabled(false);

    auto* portLabel = new QLabel(QStringLiteral("Port"), this);
    portLabel->setObjectName(QStringLiteral("StaticText2"));
    portLabel->setGeometry(41, 79, 54, 20);
    portLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    portLabel->setFont(designed::fontOrDefault(QStringLiteral("Osaka")));
    portLabel->setEnabled(false);

    // Typing adds digits only, up to five: every port fits. Not an input
    // mask: a mask would cut a stored value to its length and fill the field
    // with blanks that swallow typing.
    auto* port = new PortField(this);
    port->setObjectName(QStringLiteral("EditField2"));
    port->setGeometry(107, 79, 82, 22);
    port->setEnabled(false);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("PushButton1"));
    ok->setGeometry(285, 130, 80, 20);
    ok->setDefault(true); // Return presses it
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &Window4::PushButton1_Action);
}

void Window4::AddMenuHandlers() {}

void Window4::Event_Open() {
    const PreferenceStore* store = PreferenceStore::current();
    auto value = [store](const QString& key) { return store ? store->pref(key) : QString(); };
    // Only exactly "1" means a proxy; "1 " or "true" do not.
    checkBox1()->setChecked(value(needProxyKey) == QStringLiteral("1"));
    editField1()->setText(value(proxyAddressKey));
    editField2()->setText(value(proxyPortKey));
}

void Window4::CheckBox1_Action() {
    const bool on = checkBox1()->isChecked();
    staticText1()->setEnabled(on);
    staticText2()->setEnabled(on);
    editField1()->setEnabled(on);
    editField2()->setEnabled(on);
}

void Window4::PushButton1_Action() {
    PreferenceStore* store = PreferenceStore::current();
    if (!store) {
        PreferenceStore::report(QStringLiteral("環境設定を保存できません"));
        return;
    }
    // Stored as typed, whether the box is checked or not.
    store->prefDictionary[needProxyKey] =
        checkBox1()->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    store->prefDictionary[proxyAddressKey] = editField1()->text();
    store->prefDictionary[proxyPortKey] = editField2()->text();
    // A failed write has been reported; the dialog stays so nothing typed is lost.
    if (!store->writePrefFile())
        return;
    accept();
}

QCheckBox* Window4::checkBox1() const {
    return findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
}
QLabel* Window4::staticText1() const {
    return findChild<QLabel*>(QStringLiteral("StaticText1"));
}
QLineEdit* Window4::editField1() const {
    return findChild<QLineEdit*>(QStringLiteral("EditField1"));
}
QLabel* Window4::staticText2() const {
    return findChild<QLabel*>(QStringLiteral("StaticText2"));
}
QLineEdit* Window4::editField2() const {
    return findChild<QLineEdit*>(QStringLiteral("EditField2"));
}
QPushButton* Window4::pushButton1() const {
    return findChild<QPushButton*>(QStringLiteral("PushButton1"));
}
