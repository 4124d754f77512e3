#pragma once
// An asynchronous HTTP/1.0 client on QTcpSocket that writes and reads exactly
// the bytes the program's analysis request and reply need. The byte-level work
// (request bytes, form encoding, header-block parsing) lives in http_wire.h as
// pure functions; this class only moves bytes and raises the three events.

#include "platform/http_wire.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>

namespace platform {

class HttpSocket : public QObject {
    Q_OBJECT
public:
    explicit HttpSocket(QObject* parent = nullptr);

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

    int ErrorCode() const { return myErrorCode; }
    const HeaderList& requestHeaders() const { return myRequestHeaders; }

signals:
    void HeadersReceived(const platform::HeaderList& headers, int httpStatus);
    void PageReceived(const QString& url, int httpStatus, const platform::HeaderList& headers,
                      const QByteArray& content);
    void Error(int code);

private:
    // implementation details are the socket's own
    HeaderList myRequestHeaders;
    int myErrorCode = 0;
};

} // namespace platform
