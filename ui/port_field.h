#pragma once
// The proxy port field of the preferences dialog. What the user types may
// only add digits, and only while the field then holds at most five
// characters; deleting is always allowed. A text set by the program (the
// stored value) is shown and kept exactly as it is, whatever it holds.

#include <QLineEdit>

class PortField : public QLineEdit {
    Q_OBJECT
public:
    explicit PortField(QWidget* parent);

private:
    // Undoes a user's edit that put in anything but digits, or too many.
    void refuseAnythingButDigits(const QString& edited);

    QString myText; // the field's text before the edit now being made
};
