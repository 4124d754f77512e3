// MeCab's own analysis of one text and nothing else: Tagger::parse on a
// lattice, with the dictionary the service uses. No word list, no reply, no
// HTTP; the floor under everything the service does.
//
//   mecab-bench TEXT_FILE [RUNS]
//
// bench/run-figures runs it on the same text as the service and the program.

#include "bench/mecab_alone.h"
#include "bench/median.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
    MecabAlone mecab(dicdir);
    if (!mecab.error().empty()) {
        std::fprintf(stderr, "mecab-bench: %s\n", mecab.error().c_str());
        return 1;
    }

    std::size_t words = 0;
    std::vector<double> times;
    // One run more than asked: the first warms the dictionary's pages and is dropped.
    for (int i = 0; i <= runs; ++i) {
        const double ms = mecab.timeParse(text, i == 0 ? &words : nullptr);
        if (ms < 0) {
            std::fprintf(stderr, "mecab-bench: %s\n", mecab.error().c_str());
            return 1;
        }
        if (i > 0)
            times.push_back(ms);
    }
    std::printf("MeCab parse alone: median %7.2f ms  (%d runs, %zu bytes, %zu words, %s)\n",
                median(times), runs, text.size(), words, dicdir.c_str());
    return 0;
}
