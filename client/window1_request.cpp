// Placeholder until the analysis client lands: lets ui/ link on its own.
#include "ui/window1.h"

void Window1::PushButton1_Action() {}
void Window1::setProxy() {}
void Window1::processNow() {}
void Window1::TCPSocket1_HeadersReceived(const platform::HeaderList&, int) {}
void Window1::TCPSocket1_PageReceived(const QString&, int, const platform::HeaderList&,
                                      const QByteArray&) {}
void Window1::TCPSocket1_Error(int) {}
void Window1::parseNow(const QByteArray&, const QString&) {}
bool Window1::parseXML(const std::string&, QString*) { return false; }
void Window1::shuffleIt(const std::vector<std::int32_t>&) {}
void Window1::ShuffleNow(const std::vector<std::int32_t>&) {}
QString Window1::serviceAddress() { return QStringLiteral(ORIZUME_SERVICE_ADDRESS); }
void Window1::setServiceAddressForTesting(const QString&) {}
