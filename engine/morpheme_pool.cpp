#include "engine/morpheme_pool.h"

#include "engine/hooks.h"

#include <algorithm>

void morphemeClass::Constructor() {
    initialize();
}

void morphemeClass::initialize() {
    myMorpheme.clear();
    myPointer = -1;
}

void morphemeClass::appendMorpheme(const std::string& text) {
    myMorpheme.push_back(text);
}

bool morphemeClass::getNextMorpheme(std::string& text) {
    // Wide arithmetic: a cursor set to the largest index must not overflow,
    // and one set below -1 must not read before the list.
    const std::int64_t next = std::int64_t{myPointer} + 1;
    if (next < 0 || next >= static_cast<std::int64_t>(myMorpheme.size())) {
        myPointer = -1;
        return false;
    }
    myPointer = static_cast<std::int32_t>(next);
    text = myMorpheme[static_cast<std::size_t>(next)];
    return true;
}

bool morphemeClass::getMorpher(std::int32_t index, std::string& text) {
    if (index < 0 || static_cast<std::size_t>(index) >= myMorpheme.size())
        return false;
    text = myMorpheme[static_cast<std::size_t>(index)];
    return true;
}

void morphemeClass::shuffleMorphs() {
    std::shuffle(myMorpheme.begin(), myMorpheme.end(), engine::randomGenerator());
}

void morphemeClass::joinMorpheme(const std::string& text) {
    if (!myMorpheme.empty())
        myMorpheme.back() += text;
}

void morphemeClass::setMyPointerAt(std::int32_t index) {
    myPointer = index;
}
