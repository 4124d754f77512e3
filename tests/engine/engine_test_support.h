#pragma once
// Shared helpers for the engine tests: a fixed seed, recorded messages, and
// short ways to fill and replay a sequencer.

#include "engine/hooks.h"
#include "engine/sequencer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace enginetest {

using Word = std::pair<std::string, std::string>; // part of speech, surface

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine::resetHooks();
        engine::seedRandom(20240601);
        engine::hooks().messageBox = [this](const std::string& text) { messages.push_back(text); };
    }
    void TearDown() override { engine::resetHooks(); }

    std::vector<std::string> messages;
};

inline std::unique_ptr<sequencerClass> makeSequencer(const std::vector<Word>& words) {
    auto seq = std::make_unique<sequencerClass>();
    seq->Constructor();
    for (const auto& [pos, surface] : words)
        seq->appendSequence(pos, surface);
    return seq;
}

// "a|b|" -> {"a", "b", ""}
inline std::vector<std::string> split(const std::string& text, char by) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == by)
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts;
}

// "名詞 東京|助詞 は" -> the words (part of speech, surface); the surface may be empty.
inline std::vector<Word> words(const std::string& list) {
    std::vector<Word> out;
    for (const auto& word : split(list, '|'))
        out.emplace_back(word.substr(0, word.find(' ')), word.substr(word.find(' ') + 1));
    return out;
}

// Every text of one complete replay of a sequencer or a pool, in order.
template <class Source> std::vector<std::string> replay(Source& source) {
    std::vector<std::string> units;
    for (std::string s; source.getNextMorpheme(s);)
        units.push_back(s);
    return units;
}

// The sub-pool numbers a composite pool recorded.
inline std::vector<std::int32_t> subParts(const sequencerClass& seq, std::int32_t pool) {
    return dynamic_cast<const DoshiJoshiClass&>(*seq.myMorpheme[pool]).myPart;
}

} // namespace enginetest
