#include "engine/sequencer.h"

#include "engine/hooks.h"

#include <array>
#include <string_view>

namespace {

constexpr std::int32_t kPoolCount = 7;

// Part-of-speech codes, in table order; any other name has the code 0.
constexpr std::array<std::string_view, 13> kPartsOfSpeech = {
    "形容詞", "形容動詞", "感動詞", "副詞", "連体詞", "接続詞", "接頭辞",
    "接尾辞", "名詞",     "動詞",   "助詞", "助動詞", "特殊"};

constexpr std::array<std::string_view, kPoolCount> kPoolNames = {
    "名詞", "動詞+助詞", "動詞+助動詞", "動詞", "形容詞", "副詞", "その他"};

std::unique_ptr<morphemeClass> makePool(std::int32_t k) {
    switch (k) {
    case 1:
        return std::make_unique<MeishiClass>();
    case 2:
        return std::make_unique<DoshiJoshiClass>();
    case 3:
        return std::make_unique<DoshiJodoshiClass>();
    case 4:
        return std::make_unique<DoshiClass>();
    case 5:
        return std::make_unique<KeiyoshiClass>();
    default:
        return std::make_unique<morphemeClass>();
    }
}

} // namespace

void sequencerClass::Constructor() {
    initialize();
}

void sequencerClass::initialize() {
    myPart.clear();
    myPointer = -1;
    myStatus = mergeIdle;
    morphDictionary.clear();
    for (std::size_t i = 0; i < kPartsOfSpeech.size(); ++i)
        morphDictionary.emplace(kPartsOfSpeech[i], static_cast<std::int32_t>(i) + 1);
    myMorpheme.clear();
    myMorpheme.resize(kPoolCount + 1);
    for (std::int32_t k = 1; k <= kPoolCount; ++k) {
        auto created = makePool(k);
        created->Constructor();
        myMorpheme[static_cast<std::size_t>(k)] = std::move(created);
        engine::yieldPoint();
    }
    myNameOfMorpheme.assign(kPoolCount + 1, std::string());
    for (std::size_t k = 1; k <= kPoolNames.size(); ++k)
        myNameOfMorpheme[k] = kPoolNames[k - 1];
}

std::int32_t sequencerClass::codeOf(const std::string& pos) const {
    const auto found = morphDictionary.find(pos);
    return found == morphDictionary.end() ? 0 : found->second;
}

iMorpheme* sequencerClass::pool(std::int32_t k) const {
    if (k < 1 || static_cast<std::size_t>(k) >= myMorpheme.size())
        return nullptr;
    return myMorpheme[static_cast<std::size_t>(k)].get();
}

bool sequencerClass::getNextMorpheme(std::string& s) {
    if (myStatus != mergeIdle)
        closePendingUnit();
    const std::int64_t next = std::int64_t{myPointer} + 1;
    if (next < 0 || next >= static_cast<std::int64_t>(myPart.size())) {
        myPointer = -1;
        rewindPools();
        return false;
    }
    myPointer = static_cast<std::int32_t>(next);
    iMorpheme* taken = pool(myPart[static_cast<std::size_t>(next)]);
    if (taken == nullptr || !taken->getNextMorpheme(s)) {
        myPointer = -1;
        return false;
    }
    return true;
}

void sequencerClass::shuffleIt(const std::vector<std::int32_t>& list) {
    if (myStatus != mergeIdle)
        closePendingUnit();
    for (const std::int32_t k : list) {
        // Numbers that name no pool (0, negative, above 7) are ignored.
        if (iMorpheme* named = pool(k))
            named->shuffleMorphs();
        engine::yieldPoint();
    }
}

void sequencerClass::rewindPools() {
    for (std::size_t k = 1; k < myMorpheme.size(); ++k) {
        if (myMorpheme[k])
            myMorpheme[k]->setMyPointerAt(-1);
        engine::yieldPoint();
    }
}
