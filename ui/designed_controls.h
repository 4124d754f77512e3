#pragma once
// Design values and behaviour shared by the windows' controls.

#include <QFont>
#include <QString>
#include <Qt>

class QPlainTextEdit;
class QWidget;

namespace designed {

// The flags of an ordinary resizable document window without a maximize button.
Qt::WindowFlags documentWindowFlags();

// The multi-line text field of the main and the result window: plain text,
// wrapped, a vertical and no horizontal scroll bar, black on white, the tab key
// moves the focus.
void applyEditFieldDesign(QPlainTextEdit* field);

// The font of that family at the default size, or the default font when the
// family is not installed.
QFont fontOrDefault(const QString& family);

// Selects the field's whole text; an empty field is left as it is.
void selectWholeText(QPlainTextEdit* field);

} // namespace designed
