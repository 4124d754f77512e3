#pragma once

#include "service/analyzer.h"
#include "service/byte_budget.h"
#include "service/word_list.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orizume::service {

// The reply to one analysis request, analysed and written a stretch of text at a time, so that a
// client that reads slowly, or never, makes the service hold one stretch's words at most, not the
// words of its whole text.
//
// The reply announces its length, so a first pass analyses every stretch to count its bytes.
// The words of a text of one stretch (the program's texts are: analysed once) are kept and the
// text is dropped; a longer text is kept, with the words of its stretches while the service's
// budget for them lasts, and the others are analysed again when their turn to be written comes.
// So a request holds no more than about its text, or the words of its one stretch.
class AnalysisReply {
public:
    // text is the normalised sentence. Both references must outlive the reply.
    AnalysisReply(const Analyzer& analyzer, std::string text, ByteBudget& spareWords);

    // The first pass: counts the next stretch. True while stretches are left to count. Throws
    // what Analyzer::analyzeFrom throws.
    bool countNext(const std::atomic<bool>* cancel);
    // The bytes of the whole reply, once every stretch is counted.
    std::uint64_t size() const;

    // The second pass: the next part of the reply goes into part (the last part says so), or
    // the next stretch must be analysed first.
    enum class Next { part, lastPart, analyse };
    Next next(std::string& part);
    // Analyses the stretch that next() asked for. Throws std::runtime_error when its words are
    // not the ones counted, and what Analyzer::analyzeFrom throws.
    void analyseNext(const std::atomic<bool>* cancel);

    static constexpr std::size_t stretchBytes = Analyzer::pieceBytes;
    // What the socket is handed at a time; a client that does not read keeps one part waiting.
    static constexpr std::size_t partBytes = 32 * 1024;

private:
    struct Stretch {
        std::size_t start = 0;
        std::size_t end = 0;
        std::size_t words = 0;
        std::uint64_t replyBytes = 0;
        bool held = false; // its words are in `list`
        WordList list;
        ByteBudget::Share share; // what a later stretch's words take of the budget
    };

    const Analyzer& analyzer_;
    ByteBudget& spareWords_;
    std::string text_; // dropped once no stretch needs analysing again
    std::vector<Stretch> stretches_;
    std::size_t words_ = 0;
    std::uint64_t wordBytes_ = 0;
    bool headWritten_ = false;
    std::size_t writing_ = 0; // the stretch being written
    std::size_t at_ = 0;      // where its next word starts
};

} // namespace orizume::service
