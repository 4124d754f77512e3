// Throughput of the morpheme engine: filling a sequencer, reordering pools 1
// to 5, and replaying the whole text, for texts of 1k, 10k and 100k words.
// "units/s" counts the units the sequencer filed (several words may form one).

#include "engine/hooks.h"
#include "engine/sequencer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Word = std::pair<std::string, std::string>;

// A mixed word list that reaches every pool and most sub-pools.
std::vector<Word> mixedWords(std::size_t count) {
    static const std::vector<Word> vocabulary = {
        {"名詞", "東京"},   {"名詞", "大学"},     {"名詞", "人々"},     {"名詞", "ネコ"},
        {"名詞", "犬"},     {"名詞", "勉強"},     {"動詞", "行き"},     {"動詞", "書く"},
        {"動詞", "来"},     {"動詞", "泳ぐ"},     {"動詞", "する"},     {"動詞", "食べ"},
        {"助詞", "は"},     {"助詞", "て"},       {"助詞", "ながら"},   {"助詞", "の"},
        {"助詞", "さえ"},   {"助動詞", "た"},     {"助動詞", "ます"},   {"助動詞", "たら"},
        {"助動詞", "です"}, {"形容詞", "高い"},   {"形容詞", "美しく"}, {"形容動詞", "静かな"},
        {"副詞", "とても"}, {"接尾辞", "さん"},   {"接頭辞", "お"},     {"特殊", "。"},
        {"特殊", "、"},     {"接続詞", "そして"}, {"連体詞", "この"},
    };
    std::mt19937 pick(7);
    std::vector<Word> words;
    words.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        words.push_back(vocabulary[pick() % vocabulary.size()]);
    return words;
}

std::unique_ptr<sequencerClass> filled(const std::vector<Word>& words) {
    auto seq = std::make_unique<sequencerClass>();
    seq->Constructor();
    for (const auto& [pos, surface] : words)
        seq->appendSequence(pos, surface);
    seq->closePendingUnit();
    return seq;
}

void setUnits(benchmark::State& state, std::size_t units) {
    state.counters["units"] = static_cast<double>(units);
    state.counters["units/s"] = benchmark::Counter(static_cast<double>(units),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.SetComplexityN(state.range(0));
}

void BM_AppendWords(benchmark::State& state) {
    const auto words = mixedWords(static_cast<std::size_t>(state.range(0)));
    std::size_t units = 0;
    for (auto _ : state) {
        auto seq = filled(words);
        units = seq->myPart.size();
        benchmark::DoNotOptimize(seq);
    }
    setUnits(state, units);
}

void BM_ReorderPools(benchmark::State& state) {
    auto seq = filled(mixedWords(static_cast<std::size_t>(state.range(0))));
    const std::vector<std::int32_t> pools{1, 2, 3, 4, 5};
    for (auto _ : state)
        seq->shuffleIt(pools);
    setUnits(state, seq->myPart.size());
}

void BM_ReplayText(benchmark::State& state) {
    auto seq = filled(mixedWords(static_cast<std::size_t>(state.range(0))));
    std::string text;
    for (auto _ : state) {
        text.clear();
        std::string unit;
        while (seq->getNextMorpheme(unit))
            text += unit;
        benchmark::DoNotOptimize(text);
    }
    setUnits(state, seq->myPart.size());
}

BENCHMARK(BM_AppendWords)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);
BENCHMARK(BM_ReorderPools)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);
BENCHMARK(BM_ReplayText)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
