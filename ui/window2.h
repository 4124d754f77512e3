#pragma once
// The result window: one rearranged text in an editable field and "OK", which
// closes it. A new one opens for every result; each lives on its own (no parent)
// until the user closes it, and is deleted when closed.

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class Window2 : public QWidget {
    Q_OBJECT
public:
    // Builds a new result window and shows it at its designed size.
    static QPointer<Window2> open();

    // Construction steps.
    void Layout();
    void CreateControls();
    void AddMenuHandlers();

    // Handlers.
    void PushButton1_Action();
    void Event_EnableMenuItems();
    bool _editSelectAll_Action();

    // The creator sizes the window like the main window's content area.
    void setContentSize(int width, int height);

    // Controls by name.
    QPlainTextEdit* editField1() const;
    QPushButton* pushButton1() const;

private:
    Window2();
};
