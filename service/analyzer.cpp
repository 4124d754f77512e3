#include "service/analyzer.h"

#include "service/pos_mapping.h"
#include "service/utf8.h"

#include <mecab.h>

#include <algorithm>
#include <iterator>

namespace orizume::service {

namespace {

std::string mecabError() {
    const char* message = MeCab::getLastError();
    return message != nullptr && *message != '\0' ? message : "unknown error";
}

std::size_t characterLength(std::string_view text, std::size_t pos) {
    const std::size_t length = utf8SequenceLength(static_cast<unsigned char>(text[pos]));
    return pos + length > text.size() ? text.size() - pos : length;
}

// Calls add(character) for each character of a stretch the analyser skipped.
template <typename Add> void forEachCharacter(std::string_view gap, Add&& add) {
    for (std::size_t pos = 0; pos < gap.size();) {
        const std::size_t length = characterLength(gap, pos);
        add(gap.substr(pos, length));
        pos += length;
    }
}

} // namespace

void appendGapWords(std::vector<Word>& words, std::string_view gap) {
    forEachCharacter(gap, [&words](std::string_view c) {
        words.push_back(Word{std::string(c), {}, specialPartOfSpeech});
    });
}

void Analyzer::ModelDeleter::operator()(MeCab::Model* model) const {
    MeCab::deleteModel(model);
}
void Analyzer::TaggerDeleter::operator()(MeCab::Tagger* tagger) const {
    MeCab::deleteTagger(tagger);
}
void Analyzer::LatticeDeleter::operator()(MeCab::Lattice* lattice) const {
    MeCab::deleteLattice(lattice);
}

Analyzer::Analyzer(const std::string& dicdir) : classes_(dicdir), dicdir_(dicdir) {
    // The dictionary folder is always named: MeCab's own default changes with whichever
    // dictionary package was installed last, and may not be the UTF-8 IPADIC.
    const std::string args = "-d " + dicdir;
    model_.reset(MeCab::createModel(args.c_str()));
    if (!model_) {
        throw std::runtime_error("cannot load the dictionary in " + dicdir + ": " + mecabError());
    }
    tagger_.reset(model_->createTagger());
    if (!tagger_) {
        throw std::runtime_error("cannot create a tagger: " + mecabError());
    }
    const MeCab::DictionaryInfo* info = model_->dictionary_info();
    if (info == nullptr || info->charset == nullptr ||
        (std::string_view(info->charset) != "UTF-8" && std::string_view(info->charset) != "utf8" &&
         std::string_view(info->charset) != "utf-8")) {
        throw std::runtime_error("the dictionary in " + dicdir + " is not a UTF-8 build");
    }
}

Analyzer::~Analyzer() = default;

Analyzer::Lattice Analyzer::borrowLattice() const {
    {
        const std::lock_guard lock(latticesMutex_);
        if (!idleLattices_.empty()) {
            Lattice lattice = std::move(idleLattices_.back());
            idleLattices_.pop_back();
            return lattice;
        }
    }
    Lattice lattice{decltype(Lattice::lattice)(model_->createLattice())};
    if (!lattice.lattice) {
        throw std::runtime_error("cannot create a lattice: " + mecabError());
    }
    return lattice;
}

void Analyzer::returnLattice(Lattice lattice) const {
    const std::lock_guard lock(latticesMutex_);
    idleLattices_.push_back(std::move(lattice));
}

void Analyzer::releaseSpareLattices() const {
    std::vector<Lattice> released; // freed outside the lock
    const std::lock_guard lock(latticesMutex_);
    released.swap(idleLattices_);
    // The lattice returned last is at the back, and is lent first.
    const auto warm = std::find_if(released.rbegin(), released.rend(), [](const Lattice& lattice) {
        return lattice.largestPiece <= warmPieceBytes;
    });
    if (warm != released.rend()) {
        idleLattices_.push_back(std::move(*warm));
    }
}

std::vector<std::size_t> Analyzer::spareLattices() const {
    std::vector<std::size_t> pieces;
    const std::lock_guard lock(latticesMutex_);
    for (const Lattice& lattice : idleLattices_) {
        pieces.push_back(lattice.largestPiece);
    }
    return pieces;
}

std::size_t Analyzer::pieceEnd(std::string_view text, std::size_t start) const {
    const std::size_t limit = std::min(text.size(), start + pieceBytes);
    // A run is what MeCab scans as one: each character shares a class with the one before it.
    std::size_t runStart = start;
    std::uint32_t previous = 0;
    for (std::size_t pos = start; pos < limit;) {
        const std::size_t length = characterLength(text, pos);
        const std::uint32_t classes = classes_.of(text, pos, length);
        if ((classes & previous) == 0) {
            runStart = pos;
        } else if (pos + length - runStart > runBytes) {
            return pos;
        }
        previous = classes;
        pos += length;
    }
    if (limit == text.size()) {
        return limit;
    }
    // Cut where MeCab's analysis does not run across anyway: after a line feed, else after a
    // full stop, else (one endless line) at a character boundary.
    const std::string_view window = text.substr(start, pieceBytes);
    if (const std::size_t lf = window.rfind('\n'); lf != std::string_view::npos) {
        return start + lf + 1;
    }
    constexpr std::string_view fullStop = "。";
    if (const std::size_t stop = window.rfind(fullStop); stop != std::string_view::npos) {
        return start + stop + fullStop.size();
    }
    std::size_t end = limit;
    while (end > start && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return end > start ? end : limit;
}

WordList Analyzer::analyze(std::string_view text, const std::atomic<bool>* cancel) const {
    WordList words;
    analyzeFrom(text, 0, text.size(), words, cancel);
    return words;
}

std::size_t Analyzer::analyzeFrom(std::string_view text, std::size_t start, std::size_t bytes,
                                  WordList& words, const std::atomic<bool>* cancel) const {
    // A word takes about three times its bytes (its surface, a reading and a few bytes more):
    // room for that, so the list seldom grows by copying.
    words.reserve(words.end() + 3 * std::min(text.size() - start, bytes) + 64);
    // Returned when done, freed on an exception (MeCab's error or a stop): a lattice left in an
    // unknown state is not used again.
    Lattice lattice = borrowLattice();
    // Each piece is handed to MeCab as a NUL-terminated text of its own: at a piece that ends in
    // whitespace MeCab looks the next word up to the terminating NUL, and with the rest of the
    // text behind the piece it would read past the piece and write past its lattice.
    std::string piece;
    std::size_t end = start;
    while (end < text.size()) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            throw AnalysisCancelled();
        }
        const std::size_t next = pieceEnd(text, end);
        if (end > start && next - start > bytes) {
            break;
        }
        piece.assign(text.substr(end, next - end));
        analyzePiece(lattice, piece, words);
        end = next;
    }
    returnLattice(std::move(lattice));
    return end;
}

void Analyzer::analyzePiece(Lattice& kept, const std::string& piece, WordList& words) const {
    kept.largestPiece = std::max(kept.largestPiece, piece.size());
    MeCab::Lattice& lattice = *kept.lattice;
    lattice.set_sentence(piece.c_str(), piece.size());
    if (!tagger_->parse(&lattice)) {
        const std::string message = lattice.what() != nullptr ? lattice.what() : "unknown error";
        lattice.clear();
        throw std::runtime_error("analysis failed: " + message);
    }
    const std::string_view text = piece;
    const auto addGap = [&words](std::string_view c) { words.add(c, {}, specialPartOfSpeech); };
    const char* const begin = lattice.sentence();
    std::size_t done = 0; // bytes of text given back as words so far
    for (const MeCab::Node* node = lattice.bos_node(); node != nullptr; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) {
            continue;
        }
        // MeCab gives whitespace no node of its own: it is the stretch between the end of the
        // previous word and this one.
        const auto offset = static_cast<std::size_t>(node->surface - begin);
        if (offset < done || offset + node->length > text.size()) {
            continue; // cannot happen with a one-best lattice; never emit text twice
        }
        forEachCharacter(text.substr(done, offset - done), addGap);
        const std::string_view feature = node->feature != nullptr ? node->feature : "";
        const std::string_view surface = text.substr(offset, node->length);
        // Words the dictionary does not know have no reading; their surface stands in for it.
        std::string_view reading = featureField(feature, 7);
        if (reading.empty() || reading == "*") {
            reading = surface;
        }
        words.add(surface, reading, mapPartOfSpeech(feature));
        done = offset + node->length;
    }
    forEachCharacter(text.substr(done), addGap);
    lattice.clear();
}

std::string Analyzer::analyzerName() const {
    return std::string("MeCab ") + MeCab::Model::version();
}

std::string Analyzer::dictionaryName() const {
    const MeCab::DictionaryInfo* info = model_->dictionary_info();
    const std::size_t slash = dicdir_.find_last_of('/', dicdir_.size() - 2);
    std::string name = slash == std::string::npos ? dicdir_ : dicdir_.substr(slash + 1);
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    if (info != nullptr) {
        name += " (version " + std::to_string(info->version) + ", " + std::to_string(info->size) +
                " entries, " + dicdir_ + ")";
    }
    return name;
}

} // namespace orizume::service
