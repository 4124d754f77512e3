#include "ui/port_field.h"

#include <algorithm>

namespace {

// Every port fits in five digits.
constexpr qsizetype kMaxLength = 5;

bool allDigits(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

PortField::PortField(QWidget* parent) : QLineEdit(parent) {
    // A validator is not enough: Qt undoes an edit it refuses only when the
    // text before that edit passed, so a stored value that is not all digits
    // would let anything be typed after it. Each user edit is judged here
    // instead, by what it put in. The text is read back from the field, not
    // from the signal: a refused edit's own signal comes after the undo.
    connect(this, &QLineEdit::textChanged, this, [this] { myText = text(); });
    connect(this, &QLineEdit::textEdited, this, &PortField::refuseAnythingButDigits);
}

void PortField::refuseAnythingButDigits(const QString& edited) {
    const QString before = myText;
    // The edit replaced the middle of the old text: what both texts share at
    // their start and at their end is what it left alone.
    const qsizetype shorter = std::min(before.size(), edited.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == edited[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head &&
           before[before.size() - 1 - tail] == edited[edited.size() - 1 - tail])
        ++tail;
    const QStringView put = QStringView(edited).sliced(head, edited.size() - head - tail);
    if (put.isEmpty() || (allDigits(put) && edited.size() <= kMaxLength))
        return;
    setText(before);
    setCursorPosition(head);
}
