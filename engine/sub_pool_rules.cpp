// The sub-pool rules of the verb + auxiliary, verb, adjective and noun pools.
// Every test counts characters (code points), never bytes.

#include "engine/morpheme_pool.h"

#include "engine/hooks.h"
#include "engine/text_chars.h"

namespace {

// Only these two full stops count; any other final punctuation is "anything else".
std::int32_t verbAuxiliarySubPool(const std::u32string& chars) {
    if (chars.ends_with(U'。') || chars.ends_with(U'.'))
        return 1;
    if (chars.ends_with(U'た'))
        return 2;
    if (chars.ends_with(U"たら"))
        return 3;
    return 4;
}

// The rows hold plain hiragana only: a voiced kana, an o-column kana, っ, ん or
// a kanji at the end falls through to 5, and so does the empty text.
std::int32_t verbSubPool(const std::u32string& chars) {
    if (chars.size() == 1)
        return 6; // one-character verbs never move
    if (chars.empty())
        return 5;
    const auto lastIn = [&chars](std::u32string_view row) {
        return row.find(chars.back()) != std::u32string_view::npos;
    };
    if (lastIn(U"あかさたなはまやらわ"))
        return 1;
    if (lastIn(U"いきしちにひみり"))
        return 2;
    if (lastIn(U"うくすつぬふむる"))
        return 3;
    if (lastIn(U"えけせてねへめれ"))
        return 4;
    return 5;
}

std::int32_t adjectiveSubPool(const std::u32string& chars) {
    if (chars.ends_with(U'い'))
        return 1;
    if (chars.ends_with(U'く'))
        return 2;
    return 3;
}

// U+9F8D, not the end of the block, is the upper bound of the ideograph range.
bool isNounIdeograph(char32_t c) {
    return c >= 0x4E00 && c <= 0x9F8D;
}

} // namespace

void DoshiJodoshiClass::initialize() {
    setUpSubPools(4);
}

void DoshiJodoshiClass::appendMorpheme(const std::string& text) {
    fileInSubPool(verbAuxiliarySubPool(engine::codePoints(text)), text);
}

void DoshiJodoshiClass::shuffleMorphs() {
    shuffleSubPools(3);
}

void DoshiClass::initialize() {
    setUpSubPools(6);
}

void DoshiClass::appendMorpheme(const std::string& text) {
    fileInSubPool(verbSubPool(engine::codePoints(text)), text);
}

void DoshiClass::shuffleMorphs() {
    shuffleSubPools(5);
}

void KeiyoshiClass::initialize() {
    setUpSubPools(3);
}

void KeiyoshiClass::appendMorpheme(const std::string& text) {
    fileInSubPool(adjectiveSubPool(engine::codePoints(text)), text);
}

void KeiyoshiClass::shuffleMorphs() {
    shuffleSubPools(2);
}

void MeishiClass::initialize() {
    setUpSubPools(3);
}

void MeishiClass::appendMorpheme(const std::string& text) {
    const std::u32string chars = engine::codePoints(text);
    // The length test sees the text as received, marker included.
    if (chars.size() == 1) {
        fileInSubPool(3, text);
        return;
    }
    if (text.find(nounMarker) != std::string::npos) {
        const std::string unmarked = engine::replaceAll(text, nounMarker, "");
        // A text of nothing but marker text has no marked noun left to trade
        // places with; it stays where it is.
        fileInSubPool(unmarked.empty() ? 3 : 1, unmarked);
        return;
    }
    if (chars.empty()) {
        fileInSubPool(3, text);
        return;
    }
    for (const char32_t c : chars) {
        if (!isNounIdeograph(c)) {
            fileInSubPool(3, text);
            return;
        }
        engine::yieldPoint();
    }
    fileInSubPool(2, text);
}

void MeishiClass::shuffleMorphs() {
    shuffleSubPools(2);
}
