#pragma once
// Byte-level pieces of the HTTP client, free of sockets so they can be tested
// on their own.

#include <QByteArray>
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
enum SocketError : int {
    SocketNoError = 0,
    // (the socket layer defines the list; see http_wire.h in full)
};

} // namespace platform
