#include "service/analysis_reply.h"

#include "service/reply_writer.h"

#include <stdexcept>

namespace orizume::service {

namespace {

// Frees what value holds: assigning an empty string keeps the old one's memory.
template <typename T> void release(T& value) {
    [[maybe_unused]] const T gone = std::move(value);
}

} // namespace

AnalysisReply::AnalysisReply(const Analyzer& analyzer, std::string text, ByteBudget& spareWords)
    : analyzer_(analyzer), spareWords_(spareWords), text_(std::move(text)) {}

bool AnalysisReply::countNext(const std::atomic<bool>* cancel) {
    Stretch stretch;
    stretch.start = stretches_.empty() ? 0 : stretches_.back().end;
    stretch.end = analyzer_.analyzeFrom(text_, stretch.start, stretchBytes, stretch.list, cancel);
    stretch.words = stretch.list.size();
    stretch.replyBytes = replySize(stretch.list);
    words_ += stretch.words;
    wordBytes_ += stretch.replyBytes;
    const bool last = stretch.end == text_.size();
    // The words of a text of one stretch (the program's) are kept, and the text goes. A longer
    // text stays, and its stretches' words are kept only while the budget lasts.
    if (!(last && stretches_.empty())) {
        stretch.share = spareWords_.take(stretch.list.bytes());
    }
    stretch.held = (last && stretches_.empty()) || stretch.share;
    if (!stretch.held) {
        release(stretch.list);
    }
    stretches_.push_back(std::move(stretch));
    if (!last) {
        return true;
    }
    bool again = false;
    for (const Stretch& counted : stretches_) {
        again = again || !counted.held;
    }
    if (!again) {
        release(text_);
    }
    return false;
}

std::uint64_t AnalysisReply::size() const {
    return replyHead(words_).size() + wordBytes_ + replyTail.size();
}

AnalysisReply::Next AnalysisReply::next(std::string& part) {
    part.clear();
    // Room for a part and the word that ends it, once: the part waits with the client.
    part.reserve(partBytes + 1024);
    if (!headWritten_) {
        part += replyHead(words_);
        headWritten_ = true;
    }
    while (writing_ < stretches_.size()) {
        Stretch& stretch = stretches_[writing_];
        if (!stretch.held) {
            return part.empty() ? Next::analyse : Next::part;
        }
        at_ = appendWords(part, stretch.list, at_, partBytes);
        if (at_ < stretch.list.end()) {
            return Next::part;
        }
        release(stretch.list);
        stretch.share = {};
        stretch.held = false;
        ++writing_;
        at_ = 0;
    }
    part += replyTail;
    return Next::lastPart;
}

void AnalysisReply::analyseNext(const std::atomic<bool>* cancel) {
    Stretch& stretch = stretches_.at(writing_);
    WordList list;
    const std::size_t end = analyzer_.analyzeFrom(text_, stretch.start, stretchBytes, list, cancel);
    // The reply's length went out with its head: words other than those counted would break it.
    if (end != stretch.end || list.size() != stretch.words ||
        replySize(list) != stretch.replyBytes) {
        throw std::runtime_error("a stretch of text was analysed differently the second time");
    }
    stretch.list = std::move(list);
    stretch.held = true;
}

} // namespace orizume::service
