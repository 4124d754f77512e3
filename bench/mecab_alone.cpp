#include "bench/mecab_alone.h"

#include <mecab.h>

#include <chrono>

namespace {

std::string mecabError() {
    const char* message = MeCab::getLastError();
    return message != nullptr && *message != '\0' ? message : "unknown error";
}

void deleteModel(MeCab::Model* model) {
    MeCab::deleteModel(model);
}
void deleteTagger(MeCab::Tagger* tagger) {
    MeCab::deleteTagger(tagger);
}
void deleteLattice(MeCab::Lattice* lattice) {
    MeCab::deleteLattice(lattice);
}

std::size_t countWords(const MeCab::Lattice& lattice) {
    std::size_t words = 0;
    for (const MeCab::Node* node = lattice.bos_node(); node != nullptr; node = node->next)
        if (node->stat != MECAB_BOS_NODE && node->stat != MECAB_EOS_NODE)
            ++words;
    return words;
}

} // namespace

MecabAlone::MecabAlone(const std::string& dicdir)
    : model_(MeCab::createModel(("-d " + dicdir).c_str()), &deleteModel),
      tagger_(nullptr, &deleteTagger), lattice_(nullptr, &deleteLattice) {
    if (!model_) {
        error_ = "cannot load " + dicdir + ": " + mecabError();
        return;
    }
    tagger_.reset(model_->createTagger());
    lattice_.reset(model_->createLattice());
    if (!tagger_ || !lattice_)
        error_ = mecabError();
}

MecabAlone::~MecabAlone() = default;

double MecabAlone::timeParse(const std::string& text, std::size_t* words) {
    if (!tagger_ || !lattice_)
        return -1;
    const auto start = std::chrono::steady_clock::now();
    lattice_->set_sentence(text.data(), text.size());
    const bool parsed = tagger_->parse(lattice_.get());
    const auto end = std::chrono::steady_clock::now();
    if (!parsed) {
        error_ = std::string("analysis failed: ") +
                 (lattice_->what() != nullptr ? lattice_->what() : "unknown error");
        return -1;
    }
    if (words != nullptr)
        *words = countWords(*lattice_);
    lattice_->clear();
    return std::chrono::duration<double, std::milli>(end - start).count();
}
