#pragma once
// MeCab's own analysis of one text and nothing else: Tagger::parse on a
// lattice, with the dictionary the service uses. No word list, no reply, no
// HTTP; the floor under everything the service does.

#include <memory>
#include <string>

namespace MeCab {
class Model;
class Tagger;
class Lattice;
} // namespace MeCab

class MecabAlone {
public:
    // Loads the dictionary in dicdir; error() says why when it cannot.
    explicit MecabAlone(const std::string& dicdir);
    ~MecabAlone();
    MecabAlone(const MecabAlone&) = delete;
    MecabAlone& operator=(const MecabAlone&) = delete;

    const std::string& error() const { return error_; }
    // Milliseconds one Tagger::parse of the text takes, on a lattice kept from
    // one call to the next; -1 with error() set when it fails. `words` (when
    // given) receives the number of words found.
    double timeParse(const std::string& text, std::size_t* words = nullptr);

private:
    std::string error_;
    std::unique_ptr<MeCab::Model, void (*)(MeCab::Model*)> model_;
    std::unique_ptr<MeCab::Tagger, void (*)(MeCab::Tagger*)> tagger_;
    std::unique_ptr<MeCab::Lattice, void (*)(MeCab::Lattice*)> lattice_;
};
