#pragma once

#include "service/reply_writer.h"
#include "service/word_list.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace orizume::service {

// A response body for Boost.Beast: either a ready text (an error document, the information page)
// or the word list of an analysis, written out as XML a part at a time while it is sent.
struct ReplyBody {
    struct value_type {
        std::string text;
        std::unique_ptr<WordList> words; // when set, the body is the reply to these words
    };

    static std::uint64_t size(const value_type& body) {
        return body.words ? ReplyParts(*body.words).size() : body.text.size();
    }

    class writer {
    public:
        using const_buffers_type = boost::asio::const_buffer;

        template <bool isRequest, class Fields>
        writer(const boost::beast::http::header<isRequest, Fields>&, const value_type& body)
            : body_(body) {}

        void init(boost::beast::error_code& ec) {
            ec = {};
            if (body_.words) {
                parts_.emplace(*body_.words);
            }
        }

        boost::optional<std::pair<const_buffers_type, bool>> get(boost::beast::error_code& ec) {
            ec = {};
            if (!parts_) {
                return {{boost::asio::buffer(body_.text), false}};
            }
            if (!parts_->next(part_)) {
                return boost::none;
            }
            return {{boost::asio::buffer(part_), true}};
        }

    private:
        const value_type& body_;
        std::optional<ReplyParts> parts_;
        std::string part_;
    };
};

} // namespace orizume::service
