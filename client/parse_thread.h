#pragma once
// The worker that turns one reply body into a new sequencer and a result window.

#include "client/reply_walk.h"
#include "platform/cooperative_thread.h"

#include <QByteArray>
#include <QString>

class parseThread : public platform::CooperativeThread {
public:
    // Shows the progress wheel and the parsing text (runs on the GUI thread).
    // sentText is the input text of the request this reply answers.
    parseThread(const QByteArray& content, const QString& sentText);
    // Hides the wheel and shows the character count, or the failure in red.
    ~parseThread() override;

    QByteArray myContent; // handed to the walk, which lets it go once escaped

protected:
    void Event_Run() override;

private:
    QString mySentText;
    client::ReplyFailure myFailure;
};
