#include "service/analyzer.h"

#include "service/pos_mapping.h"
#include "service/utf8.h"

#include <mecab.h>

#include <stdexcept>

namespace orizume::service {

namespace {

std::string mecabError() {
    const char* message = MeCab::getLastError();
    return message != nullptr && *message != '\0' ? message : "unknown error";
}

} // namespace

void appendGapWords(std::vector<Word>& words, std::string_view gap) {
    std::size_t pos = 0;
    while (pos < gap.size()) {
        std::size_t length = utf8SequenceLength(static_cast<unsigned char>(gap[pos]));
        if (pos + length > gap.size()) {
            length = gap.size() - pos;
        }
        words.push_back(Word{std::string(gap.substr(pos, length)), {}, specialPartOfSpeech});
        pos += length;
    }
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

Analyzer::Analyzer(const std::string& dicdir) : dicdir_(dicdir) {
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

Analyzer::LatticePtr Analyzer::borrowLattice() const {
    {
        const std::lock_guard lock(latticesMutex_);
        if (!idleLattices_.empty()) {
            LatticePtr lattice = std::move(idleLattices_.back());
            idleLattices_.pop_back();
            return lattice;
        }
    }
    LatticePtr lattice(model_->createLattice());
    if (!lattice) {
        throw std::runtime_error("cannot create a lattice: " + mecabError());
    }
    return lattice;
}

void Analyzer::returnLattice(LatticePtr lattice) const {
    const std::lock_guard lock(latticesMutex_);
    idleLattices_.push_back(std::move(lattice));
}

namespace {

std::size_t pieceEnd(std::string_view text, std::size_t start) {
    if (text.size() - start <= Analyzer::pieceBytes) {
        return text.size();
    }
    // Cut where MeCab's analysis does not run across anyway: after a line feed, else after a
    // full stop, else (one endless line) at a character boundary.
    const std::string_view window = text.substr(start, Analyzer::pieceBytes);
    if (const std::size_t lf = window.rfind('\n'); lf != std::string_view::npos) {
        return start + lf + 1;
    }
    constexpr std::string_view fullStop = "。";
    if (const std::size_t stop = window.rfind(fullStop); stop != std::string_view::npos) {
        return start + stop + fullStop.size();
    }
    std::size_t end = start + Analyzer::pieceBytes;
    while (end > start && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return end > start ? end : start + Analyzer::pieceBytes;
}

} // namespace

std::vector<Word> Analyzer::analyze(std::string_view text) const {
    std::vector<Word> words;
    words.reserve(text.size() / 3);
    LatticePtr lattice = borrowLattice();
    // A lattice costs a few hundred bytes per byte of text: long texts are analysed in pieces
    // so that memory stays bounded; the program's own texts (at most 32,000 bytes) are one piece.
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = pieceEnd(text, start);
        analyzePiece(*lattice, text.substr(start, end - start), words);
        start = end;
    }
    returnLattice(std::move(lattice));
    return words;
}

void Analyzer::analyzePiece(MeCab::Lattice& lattice, std::string_view text,
                            std::vector<Word>& words) const {
    lattice.set_sentence(text.data(), text.size());
    if (!tagger_->parse(&lattice)) {
        const std::string message = lattice.what() != nullptr ? lattice.what() : "unknown error";
        lattice.clear();
        throw std::runtime_error("analysis failed: " + message);
    }
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
        appendGapWords(words, text.substr(done, offset - done));
        const std::string_view feature = node->feature != nullptr ? node->feature : "";
        const std::string_view surface = text.substr(offset, node->length);
        // Words the dictionary does not know have no reading; their surface stands in for it.
        std::string_view reading = featureField(feature, 7);
        if (reading.empty() || reading == "*") {
            reading = surface;
        }
        words.push_back(Word{std::string(surface), std::string(reading), mapPartOfSpeech(feature)});
        done = offset + node->length;
    }
    appendGapWords(words, text.substr(done));
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
