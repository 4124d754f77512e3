#pragma once
// The reading of one HTTP reply as its bytes arrive, free of sockets: the
// socket hands over each piece as it comes, and the reader finds the header
// block, parses it and keeps every byte after it as the body.

#include "platform/http_wire.h"

#include <QByteArray>
#include <utility>

namespace platform {

class ReplyReader {
public:
    // One read pass over the bytes that arrived; true when they completed
    // the header block (after that, every byte goes to the body).
    bool take(const QByteArray& bytes);

    bool headRead() const { return myHeadRead; }
    // Status, headers and expected length; empty until the head is read.
    const ReplyHead& head() const { return myHead; }
    // Bytes of body received so far.
    qint64 receivedLength() const { return myReceivedLength; }
    // Hands the body over, leaving none behind: a reply may be large.
    QByteArray takeBody() { return std::exchange(myBody, QByteArray()); }

private:
    QByteArray myUnread;         // received, not yet consumed
    qsizetype myScanned = 0;     // bytes of myUnread searched for the header end
    bool myHeadRead = false;     // the header block has been parsed
    ReplyHead myHead;            // status, headers, expected length
    QByteArray myBody;           // every byte after the header block
    qint64 myReceivedLength = 0; // bytes of body received
};

} // namespace platform
