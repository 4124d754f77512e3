#include "platform/http_socket.h"

#include <QNetworkProxy>
#include <QPointer>
#include <utility>

namespace platform {

namespace {

int codeFor(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return SocketConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return SocketHostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return SocketTimedOut;
    case QAbstractSocket::NetworkError:
        return SocketNetworkError;
    case QAbstractSocket::RemoteHostClosedError:
        return SocketClosedEarly;
    default:
        return SocketOtherError;
    }
}

} // namespace

HttpSocket::HttpSocket(QObject* parent) : QObject(parent) {
    myRequestHeaders = {{"Accept", "*/*"}, {"Accept-Language", "en"}};
}

HttpSocket::~HttpSocket() {
    dropConnection();
}

void HttpSocket::ClearRequestHeaders() {
    myRequestHeaders.clear();
}

void HttpSocket::SetRequestHeader(const QByteArray& name, const QByteArray& value) {
    setHeader(myRequestHeaders, name, value);
}

void HttpSocket::SetFormData(const FormData* form) {
    if (!form) {
        myPostBody.clear();
        myPostContentType.clear();
        return;
    }
    myPostBody = encodeForm(*form);
    myPostContentType = "application/x-www-form-urlencoded";
}

void HttpSocket::Post(const QString& address) {
    myErrorCode = 0;
    myTarget = splitPostAddress(address, defaultPort);
    Address = myTarget.host;
    Port = myTarget.port;
    myViaProxy = !httpProxyAddress.isEmpty();
    if (myViaProxy) {
        Address = httpProxyAddress;
        Port = httpProxyPort == 0 ? defaultPort : httpProxyPort;
    }

    dropConnection();
    const quint64 generation = ++myGeneration;
    myConnectionMade = false;
    myEnded = false;
    myInPass = false;
    resetReply();

    // A port QTcpSocket cannot take would otherwise be cut to 16 bits and
    // connect somewhere the user never named.
    const bool usable = !Address.isEmpty() && Port >= 1 && Port <= 65535;
    if (usable) {
        mySocket = new QTcpSocket(this);
        // The proxy, if any, is ours to talk to; Qt must not add its own.
        mySocket->setProxy(QNetworkProxy::NoProxy);
        connect(mySocket, &QTcpSocket::connected, this, &HttpSocket::onConnected);
        connect(mySocket, &QTcpSocket::readyRead, this, &HttpSocket::readPass);
        connect(mySocket, &QTcpSocket::errorOccurred, this, &HttpSocket::onSocketError);
        connect(mySocket, &QTcpSocket::disconnected, this, &HttpSocket::onConnectionEnded);
    }
    // Connect from the event loop: Post returns at once, and no event is ever
    // raised from inside it (it may be called on a worker's fiber).
    QMetaObject::invokeMethod(
        this,
        [this, generation, usable, host = Address, port = Port] {
            if (generation != myGeneration)
                return;
            if (usable)
                mySocket->connectToHost(host, static_cast<quint16>(port));
            else
                fail(SocketBadAddress);
        },
        Qt::QueuedConnection);
}

void HttpSocket::dropConnection() {
    if (!mySocket)
        return;
    // Detach before aborting, so nothing the old connection still signals
    // (its abort included) can reach the next reply's state.
    QTcpSocket* old = std::exchange(mySocket, nullptr);
    QObject::disconnect(old, nullptr, this, nullptr);
    old->abort();
    // Later, not now: Post may be called from inside one of this socket's signals.
    old->deleteLater();
}

void HttpSocket::resetReply() {
    myReply = ReplyReader();
    myComplete = false;
}

void HttpSocket::onConnected() {
    resetReply();
    myConnectionMade = true;
    // One write: the request line, the headers and the body together.
    mySocket->write(
        buildPostRequest(myRequestHeaders, myTarget, myViaProxy, myPostContentType, myPostBody));
}

void HttpSocket::onSocketError(QAbstractSocket::SocketError error) {
    // Once connected, an error is how the connection's end arrives.
    if (myConnectionMade) {
        onConnectionEnded();
        return;
    }
    if (myEnded)
        return;
    myEnded = true;
    fail(codeFor(error));
}

void HttpSocket::onConnectionEnded() {
    if (myEnded || !myConnectionMade)
        return;
    myEnded = true;
    myConnectionMade = false;
    const quint64 generation = myGeneration;
    const QPointer<HttpSocket> alive(this);
    readPass(); // bytes that arrived with the close
    if (!alive || generation != myGeneration)
        return;
    if (myReply.headRead())
        completeReply();
    else
        // Without a header block there is no status to judge the reply by.
        fail(SocketClosedEarly);
}

void HttpSocket::readPass() {
    if (myInPass || !mySocket)
        return;
    myInPass = true;
    const bool headNow = myReply.take(mySocket->readAll());
    myInPass = false;
    if (headNow) {
        // Copies: a handler may Post again, which resets the reply state.
        const HeaderList headers = myReply.head().headers;
        emit HeadersReceived(headers, myReply.head().status);
    }
}

void HttpSocket::completeReply() {
    if (myComplete)
        return;
    myComplete = true;
    const QString url = myTarget.address;
    const HeaderList headers = myReply.head().headers;
    // Handed over, not kept: a reply may be large, and a handler that needs
    // the bytes later keeps its own reference.
    const QByteArray body = myReply.takeBody();
    emit PageReceived(url, myReply.head().status, headers, body);
}

void HttpSocket::fail(int code) {
    myErrorCode = code;
    emit Error(code);
}

} // namespace platform
