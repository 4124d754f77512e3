#include "ui/designed_controls.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace designed {

Qt::WindowFlags documentWindowFlags() {
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
}

void applyEditFieldDesign(QPlainTextEdit* field) {
    field->setFrameShape(QFrame::StyledPanel);
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    field->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    field->setReadOnly(false);
    field->setTabChangesFocus(true);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Text, QColor(0, 0, 0));
    palette.setColor(QPalette::Base, QColor(255, 255, 255));
    field->setPalette(palette);
}

QFont fontOrDefault(const QString& family) {
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(family))
        font.setFamily(family);
    return font;
}

void selectWholeText(QPlainTextEdit* field) {
    if (!field || field->document()->isEmpty())
        return;
    // Cursor positions count from 0 in UTF-16 units: select from the start to the end.
    QTextCursor cursor = field->textCursor();
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    field->setTextCursor(cursor);
}

} // namespace designed
