#pragma once
// An asynchronous HTTP/1.0 client on QTcpSocket that writes and reads exactly
// the bytes the program's analysis request and reply need. The byte-level work
// (request bytes, form encoding, header-block parsing) lives in http_wire.h as
// pure functions, and the reading of a reply in reply_reader.h; this class
// only moves bytes and raises the three events.
//
// Events, all raised from the event loop, never from inside Post:
//   HeadersReceived once a reply's header block has been read;
//   PageReceived once per reply, when the server has closed the connection;
//   Error(code) when no connection can be made, or when the connection ends
//   before a complete header block (then no PageReceived follows).
// A later Post cuts off the earlier connection, which raises nothing more.

#include "platform/http_wire.h"
#include "platform/reply_reader.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>

namespace platform {

class HttpSocket : public QObject {
    Q_OBJECT
public:
    explicit HttpSocket(QObject* parent = nullptr);
    ~HttpSocket() override;

    // Removes every request header, the defaults ("Accept", "Accept-Language") included.
    void ClearRequestHeaders();
    // Sets one header, replacing earlier values of that name; an empty value removes it.
    void SetRequestHeader(const QByteArray& name, const QByteArray& value);
    // Body = the form's encoding, content type = form-urlencoded; nullptr empties both.
    void SetFormData(const FormData* form);
    // Starts an asynchronous POST of the body to address; cuts off any earlier connection.
    void Post(const QString& address);

    // Connection target as the last Post set it.
    QString Address;
    int Port = 80;
    // Proxy: an empty address means a direct connection; port 0 means defaultPort.
    QString httpProxyAddress;
    int httpProxyPort = 0;
    int defaultPort = 80;

    // The last error code (a SocketError); Post resets it to 0.
    int ErrorCode() const { return myErrorCode; }
    const HeaderList& requestHeaders() const { return myRequestHeaders; }

signals:
    void HeadersReceived(const platform::HeaderList& headers, int httpStatus);
    void PageReceived(const QString& url, int httpStatus, const platform::HeaderList& headers,
                      const QByteArray& content);
    void Error(int code);

private:
    void dropConnection();
    // Empties the reply state: nothing read, no header block, no body.
    void resetReply();
    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onConnectionEnded();
    void readPass();
    void completeReply();
    void fail(int code);

    HeaderList myRequestHeaders;
    QByteArray myPostBody;
    QByteArray myPostContentType;
    int myErrorCode = 0;

    // What the last Post remembered.
    PostAddress myTarget;
    bool myViaProxy = false;

    // The current connection; a child of this object, replaced by every Post.
    QTcpSocket* mySocket = nullptr;
    // Counts Posts, so that work begun for a cut-off connection can tell it is stale.
    quint64 myGeneration = 0;

    // Reply state of the current connection.
    ReplyReader myReply; // head and body as read so far
    bool myConnectionMade = false;
    bool myEnded = false;    // the end of the connection has been handled
    bool myComplete = false; // PageReceived has been raised for this reply
    bool myInPass = false;   // a read pass is under way
};

} // namespace platform
