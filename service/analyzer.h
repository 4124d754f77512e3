#pragma once

#include "service/char_classes.h"
#include "service/word_list.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace MeCab {
class Model;
class Tagger;
class Lattice;
} // namespace MeCab

namespace orizume::service {

// One word, on its own (the analyzer itself fills a WordList).
struct Word {
    std::string surface;
    std::string reading;           // katakana from the dictionary; empty for whitespace
    std::string_view partOfSpeech; // one of the thirteen names (static storage)
};

// Appends one "特殊" word per character of a stretch the analyser skipped (spaces, tabs, line
// feeds), so the program gives the text back with its whitespace.
void appendGapWords(std::vector<Word>& words, std::string_view gap);

// Thrown by Analyzer::analyze when it was asked to stop.
struct AnalysisCancelled : std::runtime_error {
    AnalysisCancelled() : std::runtime_error("analysis cancelled") {}
};

// MeCab with one dictionary. One model and tagger are shared by every thread and each analysis
// borrows a lattice of its own, so analyze() may run on many threads at once.
class Analyzer {
public:
    // Loads the dictionary in dicdir (the UTF-8 build); throws std::runtime_error with MeCab's
    // message when it cannot.
    explicit Analyzer(const std::string& dicdir);
    ~Analyzer();
    Analyzer(const Analyzer&) = delete;
    Analyzer& operator=(const Analyzer&) = delete;

    // Splits normalised text (valid UTF-8, LF line ends) into words whose surfaces, joined, give
    // the text back. Between pieces it throws AnalysisCancelled once *cancel is set. Throws
    // std::runtime_error when MeCab fails.
    WordList analyze(std::string_view text, const std::atomic<bool>* cancel = nullptr) const;
    // The same for a stretch of text: analyses the pieces from `start` (where a piece starts: 0
    // or what an earlier call returned) as long as they end within `bytes` bytes of it (one at
    // least), and appends their words. Returns where it stopped. Stretch after stretch gives the
    // words of the whole text, piece for piece.
    std::size_t analyzeFrom(std::string_view text, std::size_t start, std::size_t bytes,
                            WordList& words, const std::atomic<bool>* cancel = nullptr) const;

    // A lattice costs a few hundred bytes per byte of text, so longer texts are analysed in
    // pieces, cut after a line feed where possible; the program's own texts (at most 32,000
    // bytes) are one piece.
    static constexpr std::size_t pieceBytes = 64 * 1024;
    // MeCab's time grows with the square of a run of one character class ("aaaa...", "1111...",
    // katakana): such a run is cut after this many bytes. Words are at most a few dozen bytes,
    // so a cut changes the words around it only in runs no prose has.
    static constexpr std::size_t runBytes = 256;

    // A lattice keeps the memory of the longest piece it has analysed. Between analyses the
    // lattices stay, one per thread that analysed at the same time: a lattice made anew faults its
    // megabytes in again.
    static constexpr std::size_t warmPieceBytes = 32 * 1024;
    // For when the service is idle: keeps the lattice used last of those that have analysed no
    // more than warmPieceBytes (the program's texts are at most 32,000 bytes), warm for a
    // person's next request, and frees the others: what a burst of requests grew goes back.
    void releaseSpareLattices() const;
    // The lattices kept for the next analyses, the one lent next last: the longest piece each
    // has analysed.
    std::vector<std::size_t> spareLattices() const;

    // "MeCab 0.996" and the dictionary's file and version, for the information page.
    std::string analyzerName() const;
    std::string dictionaryName() const;

private:
    struct ModelDeleter {
        void operator()(MeCab::Model* model) const;
    };
    struct TaggerDeleter {
        void operator()(MeCab::Tagger* tagger) const;
    };
    struct LatticeDeleter {
        void operator()(MeCab::Lattice* lattice) const;
    };
    struct Lattice {
        std::unique_ptr<MeCab::Lattice, LatticeDeleter> lattice;
        std::size_t largestPiece = 0;
    };

    std::size_t pieceEnd(std::string_view text, std::size_t start) const;
    void analyzePiece(Lattice& lattice, const std::string& piece, WordList& words) const;
    Lattice borrowLattice() const;
    void returnLattice(Lattice lattice) const;

    std::unique_ptr<MeCab::Model, ModelDeleter> model_;
    std::unique_ptr<MeCab::Tagger, TaggerDeleter> tagger_;
    CharClasses classes_;
    std::string dicdir_;
    // Lattices not in use, at most one per thread that has analysed at the same time: a lattice
    // made anew for every analysis would fault its megabytes in again each time.
    mutable std::mutex latticesMutex_;
    mutable std::vector<Lattice> idleLattices_;
};

} // namespace orizume::service
