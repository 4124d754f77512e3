// MeCab's own analysis of one text and nothing else: Tagger::parse on a
// lattice, with the dictionary the service uses. No word list, no reply, no
// HTTP; the floor under everything the service does.
//
//   mecab-bench TEXT_FILE [RUNS]
//
// bench/run-figures runs it on the same text as the service and the program.

#include "bench/median.h"

#include <mecab.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ModelDeleter {
    void operator()(MeCab::Model* model) const { MeCab::deleteModel(model); }
};
struct TaggerDeleter {
    void operator()(MeCab::Tagger* tagger) const { MeCab::deleteTagger(tagger); }
};
struct LatticeDeleter {
    void operator()(MeCab::Lattice* lattice) const { MeCab::deleteLattice(lattice); }
};

std::string mecabError() {
    const char* message = MeCab::getLastError();
    return message != nullptr && *message != '\0' ? message : "unknown error";
}

std::size_t countWords(const MeCab::Lattice& lattice) {
    std::size_t words = 0;
    for (const MeCab::Node* node = lattice.bos_node(); node != nullptr; node = node->next)
        if (node->stat != MECAB_BOS_NODE && node->stat != MECAB_EOS_NODE)
            ++words;
    return words;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: mecab-bench TEXT_FILE [RUNS]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "mecab-bench: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    const std::string text = contents.str();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 31;

    // The dictionary folder is named, as the service names it: MeCab's default
    // follows whichever dictionary package was installed last.
    const std::string dicdir = ORIZUME_MECAB_DICDIR;
    const std::unique_ptr<MeCab::Model, ModelDeleter> model(
        MeCab::createModel(("-d " + dicdir).c_str()));
    if (!model) {
        std::fprintf(stderr, "mecab-bench: cannot load %s: %s\n", dicdir.c_str(),
                     mecabError().c_str());
        return 1;
    }
    const std::unique_ptr<MeCab::Tagger, TaggerDeleter> tagger(model->createTagger());
    const std::unique_ptr<MeCab::Lattice, LatticeDeleter> lattice(model->createLattice());
    if (!tagger || !lattice) {
        std::fprintf(stderr, "mecab-bench: %s\n", mecabError().c_str());
        return 1;
    }

    std::size_t words = 0;
    std::vector<double> times;
    // One run more than asked: the first warms the dictionary's pages and is dropped.
    for (int i = 0; i <= runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        lattice->set_sentence(text.data(), text.size());
        const bool parsed = tagger->parse(lattice.get());
        const auto end = std::chrono::steady_clock::now();
        if (!parsed) {
            std::fprintf(stderr, "mecab-bench: analysis failed: %s\n",
                         lattice->what() != nullptr ? lattice->what() : "unknown error");
            return 1;
        }
        if (i == 0)
            words = countWords(*lattice);
        else
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        lattice->clear();
    }
    std::printf("MeCab parse alone: median %7.2f ms  (%d runs, %zu bytes, %zu words, %s)\n",
                median(times), runs, text.size(), words, dicdir.c_str());
    return 0;
}
