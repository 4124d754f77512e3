// "Parse": the request thread, the proxy settings and the request on the wire.

#include "app/app.h"
#include "app/preference_store.h"
#include "client/request_thread.h"
#include "platform/cooperative_thread.h"
#include "platform/text.h"
#include "ui/window1.h"

#include <QPlainTextEdit>
#include <memory>

namespace {

// The largest input, in UTF-8 bytes, that the service is sent.
constexpr std::int64_t kMaxInputBytes = 32000;

QString& serviceAddressOverride() {
    static QString address;
    return address;
}

QString preference(const QString& key) {
    const PreferenceStore* store = PreferenceStore::current();
    return store ? store->pref(key) : QString();
}

} // namespace

QString Window1::serviceAddress() {
    const QString& address = serviceAddressOverride();
    return address.isEmpty() ? QStringLiteral(ORIZUME_SERVICE_ADDRESS) : address;
}

void Window1::setServiceAddressForTesting(const QString& address) {
    serviceAddressOverride() = address;
}

void Window1::PushButton1_Action() {
    // Every press starts one more request; a later post cuts off an earlier one.
    auto thread = std::make_shared<requestThread>();
    setProxy();
    thread->setPriority(2);
    thread->Run();
}

void Window1::setProxy() {
    platform::HttpSocket* socket = tcpSocket1();
    if (preference(QStringLiteral("needProxy")) == QLatin1String("1")) {
        socket->httpProxyAddress = preference(QStringLiteral("proxyAddress"));
        socket->httpProxyPort =
            platform::toInt32(platform::Val(preference(QStringLiteral("proxyPort"))));
    } else {
        socket->httpProxyAddress.clear();
        socket->httpProxyPort = 0;
    }
}

void Window1::processNow() {
    platform::FormData form;
    platform::HttpSocket* socket = tcpSocket1();
    socket->ClearRequestHeaders();
    showTextLength();
    const QByteArray userAgent = "Orizume " + App::shortVersion().toUtf8() + "; PPC";

    const QString text = inputText();
    const QByteArray sentence = text.toUtf8();
    if (sentence.size() > kMaxInputBytes) {
        platform::showMessageBox(QStringLiteral("ちょっと文章長過ぎ"));
        return;
    }
    if (text.isEmpty())
        return;
    // Only a sequencer walked completely from this very text is replayed.
    // After a reply that could not be walked, or when a later walk of
    // another text has taken over, the text goes out again.
    if (!hasChanged && mySequence && mySequenceText == text) {
        ShuffleNow({1, 2, 3, 4, 5});
        return;
    }

    form.set("appid", "PebbleRotator");
    form.set("sentence", sentence);
    form.set("results", "ma");
    socket->Port = 80;
    socket->SetRequestHeader("User-Agent", userAgent);
    socket->SetFormData(&form);
    // The reply to this post is judged against this text when it is walked.
    mySentText = text;
    socket->Post(serviceAddress());
}
