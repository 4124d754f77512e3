// The reply: the socket's three events and the parse on its own worker.

#include "client/parse_thread.h"
#include "engine/morpheme_resource.h"
#include "ui/window1.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <memory>

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
        editField1()->setPlainText(editField1()->toPlainText() + QStringLiteral("\n") +
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

QString Window1::parseNow(const QByteArray& content, const QString& sentText) {
    const std::vector<std::int32_t> pools{1, 2, 3, 4, 5};
    // The bytes are taken as UTF-8 whatever the reply declares; nothing is converted.
    const std::string text =
        morphemeResource::replaceAllTheSpecialCharactersToSymbol(content.toStdString());
    QString failure;
    // The walk yields; the window may be gone when it returns.
    const QPointer<Window1> self(this);
    std::shared_ptr<sequencerClass> sequence = parseXML(text, &failure);
    if (!self)
        return {};
    if (!sequence)
        return failure;
    rearrange(sequence, pools);
    // An edit made while the reply was walked must not be forgotten: the input
    // counts as unchanged only if it still holds the text that was sent.
    if (editField1()->toPlainText() == sentText)
        hasChanged = false;
    return {};
}
