#pragma once
// Shared helpers for the engine tests: a fixed seed, recorded messages, and
// short ways to fill and replay a sequencer.

#include "engine/hooks.h"
#include "engine/sequencer.h"

#include <gtest/gtest.h>

#include <ranges>
#include <string>
#include <utility>
#include <vector>

namespace enginetest {

using Word = std::pair<std::string, std::string>; // part of speech, surface
using Texts = std::vector<std::string>;

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine::resetHooks();
        engine::seedRandom(20240601);
        engine::hooks().messageBox = [this](const std::string& text) { messages.push_back(text); };
    }
    void TearDown() override { engine::resetHooks(); }

    Texts messages;
};
class sequencerClassTest : public EngineTest {};

// "a|b|" -> {"a", "b", ""}
inline Texts split(const std::string& text, char by) {
    Texts parts;
    for (const auto part : std::views::split(text, by))
        parts.emplace_back(part.begin(), part.end());
    return parts;
}

// "名詞 東京|助詞 は" -> the words (part of speech, surface); the surface may be empty.
inline std::vector<Word> words(const std::string& list) {
    std::vector<Word> out;
    for (const auto& word : split(list, '|'))
        out.emplace_back(word.substr(0, word.find(' ')), word.substr(word.find(' ') + 1));
    return out;
}

inline std::unique_ptr<sequencerClass> makeSequencer(const std::vector<Word>& words) {
    auto seq = std::make_unique<sequencerClass>();
    seq->Constructor();
    for (const auto& [pos, surface] : words)
        seq->appendSequence(pos, surface);
    return seq;
}

// Every text of one complete replay of a sequencer or a pool, in order.
template <class Source> Texts replay(Source& source) {
    Texts units;
    for (std::string s; source.getNextMorpheme(s);)
        units.push_back(s);
    return units;
}

} // namespace enginetest
