#pragma once
// Byte-level pieces of the HTTP client, free of sockets so they can be tested
// on their own: the form encoding, the address split, the request bytes, and
// the reading of the reply's header block.

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

// An ordered list of (name, value) pairs; a name may repeat.
using HeaderList = std::vector<std::pair<QByteArray, QByteArray>>;

// Form fields in insertion order; setting a key again replaces its value in place.
class FormData {
public:
    void set(const QByteArray& key, const QByteArray& value);
    const std::vector<std::pair<QByteArray, QByteArray>>& pairs() const { return myPairs; }

private:
    std::vector<std::pair<QByteArray, QByteArray>> myPairs;
};

// Error codes the socket reports through HttpSocket::Error; non-zero and distinct.
//   1: connection refused (nothing listens on the port)
//   2: host not found (the name cannot be resolved)
//   3: timed out while connecting
//   4: network error (network unreachable, connection reset while connecting)
//   5: connection closed before a complete reply header block arrived
//   6: bad address (no host, or a port outside 1-65535)
//   7: other socket error
enum SocketError : int {
    SocketNoError = 0,
    SocketConnectionRefused = 1,
    SocketHostNotFound = 2,
    SocketTimedOut = 3,
    SocketNetworkError = 4,
    SocketClosedEarly = 5,
    SocketBadAddress = 6,
    SocketOtherError = 7,
};

// Sets name to value in headers, replacing every earlier value of that name
// (names compare case-insensitively); an empty value removes the name.
void setHeader(HeaderList& headers, const QByteArray& name, const QByteArray& value);

// One key or value of a form, escaped for the wire.
QByteArray escapeFormText(const QByteArray& text);
// The form's body: escaped key "=" escaped value, pairs joined by "&".
QByteArray encodeForm(const FormData& form);

// An address passed to Post, taken apart.
struct PostAddress {
    QString address; // the whole address, as given
    QString server;  // host, with ":port" when the address names one
    QString path;    // from the first "/" after the server; "/" when there is none
    QString host;    // server before its first ":"
    int port = 80;   // from the server text; defaultPort when absent or 0
};
PostAddress splitPostAddress(const QString& address, int defaultPort);

// Sets "Host", "Content-type" and "Content-length" in headers and returns the
// request bytes: the request line, the header lines, an empty line and the body.
// Through a proxy the request line carries the whole address.
QByteArray buildPostRequest(HeaderList& headers, const PostAddress& where, bool viaProxy,
                            const QByteArray& contentType, const QByteArray& body);

// The line end of a reply's bytes: CR LF if they hold one, else LF, else CR, else CR LF.
QByteArray chooseLineEnd(const QByteArray& bytes);

// Where the header block ends: its length and the terminator's length.
struct HeaderEnd {
    qsizetype blockLength = 0;
    qsizetype terminatorLength = 0;
};
// The first empty line in bytes (LF LF, CR LF CR LF or CR CR), searched from
// offset from; nothing while the header block is incomplete.
std::optional<HeaderEnd> findHeaderEnd(const QByteArray& bytes, qsizetype from = 0);

// A parsed header block.
struct ReplyHead {
    int status = 0;            // second field of the first line; 0 when not a number
    HeaderList headers;        // every line with a ":", in order
    qint64 expectedLength = 0; // "Content-length", informative only
};
ReplyHead parseHeaderBlock(const QByteArray& block);

} // namespace platform
