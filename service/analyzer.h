#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace MeCab {
class Model;
class Tagger;
class Lattice;
} // namespace MeCab

namespace orizume::service {

// One word of a reply, in text order.
struct Word {
    std::string surface;
    std::string reading;           // katakana from the dictionary; empty for whitespace
    std::string_view partOfSpeech; // one of the thirteen names (static storage)
};

// Appends one "特殊" word per character of a stretch the analyser skipped (spaces, tabs, line
// feeds), so the program gives the text back with its whitespace.
void appendGapWords(std::vector<Word>& words, std::string_view gap);

// MeCab with one dictionary. One model and tagger are shared by every thread; each analysis
// borrows a lattice of its own, so analyze() may run on many threads at once.
class Analyzer {
public:
    // Loads the dictionary in dicdir (the UTF-8 build); throws std::runtime_error with MeCab's
    // message when it cannot.
    explicit Analyzer(const std::string& dicdir);
    ~Analyzer();
    Analyzer(const Analyzer&) = delete;
    Analyzer& operator=(const Analyzer&) = delete;

    // Splits normalised text (valid UTF-8, LF line ends) into words whose surfaces, joined,
    // give the text back. Throws std::runtime_error when MeCab fails.
    std::vector<Word> analyze(std::string_view text) const;

    // Texts longer than this are analysed in pieces (cut after a line feed where possible).
    static constexpr std::size_t pieceBytes = 64 * 1024;

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
    using LatticePtr = std::unique_ptr<MeCab::Lattice, LatticeDeleter>;

    void analyzePiece(MeCab::Lattice& lattice, std::string_view text,
                      std::vector<Word>& words) const;
    LatticePtr borrowLattice() const;
    void returnLattice(LatticePtr lattice) const;

    std::unique_ptr<MeCab::Model, ModelDeleter> model_;
    std::unique_ptr<MeCab::Tagger, TaggerDeleter> tagger_;
    std::string dicdir_;
    // Lattices not in use; at most one per thread that has analysed at the same time.
    mutable std::mutex latticesMutex_;
    mutable std::vector<LatticePtr> idleLattices_;
};

} // namespace orizume::service
