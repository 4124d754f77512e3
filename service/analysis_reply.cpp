#include "service/analysis_reply.h"

#include "service/reply_writer.h"

#include <stdexcept>

namespace orizume::service {

AnalysisReply::AnalysisReply(const Analyzer& analyzer, std::string text, ByteBudget& spareWords)
    : analyzer_(analyzer), spareWords_(spareWords), text_(std::move(text)) {}

bool AnalysisReply::countNext(const std::atomic<bool>* cancel) {
    Stretch stretch;
    stretch.start = stretches_.empty() ? 0 : stretches_.back().end;
    stretch.end = analyzer_.analyzeFrom(text_, stretch.start, stretchBytes, stretch.list, cancel);
    stretch.words = stretch.list.size();
    stretch.replyBytes = replySize(stretch.list);
    if (!stretches_.empty()) {
        stretch.share = spareWords_.take(stretch.list.bytes());
    }
    stretch.held = stretches_.empty() || stretch.share;
    if (!stretch.held) {
        stretch.list = {};
    }
    words_ += stretch.words;
    wordBytes_ += stretch.replyBytes;
    stretches_.push_back(std::move(stretch));
    if (stretches_.back().end < text_.size()) {
        return true;
    }
    bool again = false;
    for (const Stretch& counted : stretches_) {
        again = again || !counted.held;
    }
    if (!again) {
        text_ = {};
    }
    return false;
}

std::uint64_t AnalysisReply::size() const {
    return replyHead(words_).size() + wordBytes_ + replyTail.size();
}

AnalysisReply::Next AnalysisReply::next(std::string& part) {
    part.clear();
    if (!headWritten_) {
        part = replyHead(words_);
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
        stretch.list = {};
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
