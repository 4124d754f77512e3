#include "engine/morpheme_pool.h"

#include "engine/hooks.h"
#include "engine/text_chars.h"

namespace {

// Verb + particle: the particle at the end of the unit picks the sub-pool.
std::int32_t verbParticleSubPool(const std::u32string& chars) {
    if (chars.ends_with(U'て') || chars.ends_with(U'で'))
        return 1;
    if (chars.ends_with(U"ながら") || chars.ends_with(U"つつ"))
        return 2;
    if (chars.ends_with(U'の') || chars.ends_with(U"よう") || chars.ends_with(U'と'))
        return 3;
    return 4;
}

} // namespace

void DoshiJoshiClass::initialize() {
    setUpSubPools(4);
}

void DoshiJoshiClass::appendMorpheme(const std::string& text) {
    fileInSubPool(verbParticleSubPool(engine::codePoints(text)), text);
}

void DoshiJoshiClass::shuffleMorphs() {
    shuffleSubPools(3);
}

bool DoshiJoshiClass::getNextMorpheme(std::string& text) {
    const std::int64_t next = std::int64_t{myPointer} + 1;
    if (next < 0 || next >= static_cast<std::int64_t>(myPart.size())) {
        // Past the last entry (or a cursor that names none): rewind everything
        // so that the next call starts a whole replay.
        rewindSubPools();
        myPointer = -1;
        return false;
    }
    myPointer = static_cast<std::int32_t>(next);
    iMorpheme* pool = subPool(myPart[static_cast<std::size_t>(next)]);
    if (pool == nullptr || !pool->getNextMorpheme(text)) {
        // The sub-pool ran dry: only after a cursor was set to something other
        // than -1, which leaves the sub-pools where they were.
        myPointer = -1;
        return false;
    }
    return true;
}

void DoshiJoshiClass::setMyPointerAt(std::int32_t index) {
    myPointer = index;
    if (index == -1)
        rewindSubPools();
}

void DoshiJoshiClass::setUpSubPools(std::int32_t count) {
    mySubMorpheme.clear();
    mySubMorpheme.resize(static_cast<std::size_t>(count) + 1);
    myPart.clear();
    myPointer = -1;
    for (std::int32_t k = 1; k <= count; ++k) {
        auto pool = std::make_unique<morphemeClass>();
        pool->Constructor();
        mySubMorpheme[static_cast<std::size_t>(k)] = std::move(pool);
        engine::yieldPoint();
    }
}

void DoshiJoshiClass::fileInSubPool(std::int32_t k, const std::string& text) {
    iMorpheme* pool = subPool(k);
    if (pool == nullptr)
        return; // every rule names an existing sub-pool; never record a number without a text
    pool->appendMorpheme(text);
    myPart.push_back(k);
}

void DoshiJoshiClass::shuffleSubPools(std::int32_t last) {
    for (std::int32_t k = 1; k <= last; ++k) {
        if (iMorpheme* pool = subPool(k))
            pool->shuffleMorphs();
        engine::yieldPoint();
    }
}

iMorpheme* DoshiJoshiClass::subPool(std::int32_t k) const {
    if (k < 1 || static_cast<std::size_t>(k) >= mySubMorpheme.size())
        return nullptr;
    return mySubMorpheme[static_cast<std::size_t>(k)].get();
}

void DoshiJoshiClass::rewindSubPools() {
    for (std::size_t k = 1; k < mySubMorpheme.size(); ++k) {
        if (mySubMorpheme[k])
            mySubMorpheme[k]->setMyPointerAt(-1);
        engine::yieldPoint();
    }
}
