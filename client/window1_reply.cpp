// The reply: the socket's three events and the parse on its own worker.

#include "client/parse_thread.h"
#include "client/reply_walk.h"
#include "engine/morpheme_resource.h"
#include "ui/window1.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <memory>
#include <string_view>
#include <utility>

void Window1::TCPSocket1_HeadersReceived(const platform::HeaderList& /*headers*/, int httpStatus) {
    myErrorCode = httpStatus;
}

void Window1::TCPSocket1_PageReceived(const QString& /*url*/, int /*httpStatus*/,
                                      const platform::HeaderList& /*headers*/,
                                      const QByteArray& content) {
    if (myErrorCode != 200) {
        QApplication::beep();
        setStatusColor(QColor(255, 0, 0));
        staticText1()->setText(QStringLiteral("Status: ") + QString::number(myErrorCode));
        // Setting the text raises the change event, so the next "Parse" sends again.
        editField1()->setPlainText(inputText() + QStringLiteral("\n") +
                                   QStringLiteral("何らかの理由でサービスを利用できません。"));
        return;
    }
    auto thread = std::make_shared<parseThread>(content, mySentText);
    thread->setPriority(2);
    thread->Run();
}

void Window1::TCPSocket1_Error(int code) {
    setStatusColor(QColor(255, 0, 0));
    staticText1()->setText(QStringLiteral("Error: ") + QString::number(code));
}

void Window1::parseNow(QByteArray content, const QString& sentText, client::ReplyFailure* failure) {
    const std::vector<std::int32_t> pools{1, 2, 3, 4, 5};
    // The bytes are taken as UTF-8 whatever the reply declares; nothing is
    // converted. The body is let go as soon as it is escaped, so a large
    // reply is held only once on its way to the XML loader; where the escaping
    // replaced what is noted, so that a reply refused there is still described
    // in the bytes as they arrived.
    morphemeResource::EscapeRecord escapes;
    std::string text = morphemeResource::replaceAllTheSpecialCharactersToSymbol(
        std::string_view(content.constData(), content.size()), &escapes);
    content = QByteArray();
    // The walk and the replay yield; the window may be gone when they return.
    const QPointer<Window1> self(this);
    std::shared_ptr<sequencerClass> sequence = parseXML(std::move(text), escapes, failure);
    if (!self || !sequence)
        return;
    // Walked completely: from now on "Parse" replays it for this text.
    mySequence = sequence;
    mySequenceText = sentText;
    rearrange(sequence, pools);
    if (!self)
        return;
    // Another reply walked meanwhile owns the replay now, and an edit made
    // while this one was walked must not be forgotten: the input counts as
    // unchanged only if this walk's sequencer is the current one and the
    // input still holds the text that was sent.
    if (mySequence == sequence && inputText() == sentText)
        hasChanged = false;
}
