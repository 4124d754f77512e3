#pragma once
// The preferences dialog: turns the HTTP proxy on or off and edits its address
// and port; "OK" stores the values and rewrites the preferences file.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Window4 : public QDialog {
    Q_OBJECT
public:
    // The open dialog, or a new one that is built, filled from the store and shown.
    static Window4* instance();
    // The open dialog, or nullptr (never creates one).
    static Window4* openInstance();

    ~Window4() override;

    // Construction steps.
    void Layout();
    void CreateControls();
    void AddMenuHandlers();

    // Fills the controls from the store; runs once per dialog.
    void Event_Open();
    // Enables the address and port controls exactly when the box is checked.
    void CheckBox1_Action();
    // "OK": stores the values, writes the file and closes (stays open when the write fails).
    void PushButton1_Action();

    // Controls by name, for tests.
    QCheckBox* checkBox1() const;
    QLabel* staticText1() const;
    QLineEdit* editField1() const;
    QLabel* staticText2() const;
    QLineEdit* editField2() const;
    QPushButton* pushButton1() const;

private:
    Window4();
};
