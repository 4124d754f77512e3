#include "platform/reply_reader.h"

#include <algorithm>

namespace platform {

bool ReplyReader::take(const QByteArray& bytes) {
    myUnread += bytes;
    bool headNow = false;
    if (!myHeadRead) {
        if (const auto end = findHeaderEnd(myUnread, myScanned)) {
            myHead = parseHeaderBlock(myUnread.left(end->blockLength));
            myHeadRead = true;
            headNow = true;
            // The whole terminator found, whichever kind it was, so no stray
            // line-end byte starts the body.
            myUnread.remove(0, end->blockLength + end->terminatorLength);
        } else {
            // An empty line may straddle what came so far and what comes next.
            myScanned = std::max<qsizetype>(0, myUnread.size() - 3);
        }
    }
    if (myHeadRead) {
        myReceivedLength += myUnread.size();
        myBody += myUnread;
        myUnread.clear();
    }
    return headNow;
}

} // namespace platform
