#include "service/reply_pacing.h"

namespace orizume::service {

void ReplyPacing::writing(boost::beast::tcp_stream& stream) {
    since_ = std::chrono::steady_clock::now();
    // A deadline already past still lets the write start, and end at once with a timeout.
    stream.expires_after(left_ > left_.zero() ? left_ : left_.zero());
}

void ReplyPacing::written() {
    left_ -= std::chrono::steady_clock::now() - since_;
}

} // namespace orizume::service
