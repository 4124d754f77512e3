// Unit merging: a five-state machine over the analysed morphemes. It joins a
// noun run (closed by a suffix, or marked when a "さしすせそ"/"でき" morpheme
// closes it), a verb with its particle, a verb with its auxiliaries and a
// closing full stop, and an adjective with one auxiliary or an adjectival noun.

#include "engine/hooks.h"
#include "engine/sequencer.h"
#include "engine/text_chars.h"

namespace {

// Codes of the parts of speech the rules look at.
constexpr std::int32_t kAdjective = 1;
constexpr std::int32_t kAdjectivalNoun = 2;
constexpr std::int32_t kAdverb = 4;
constexpr std::int32_t kSuffix = 8;
constexpr std::int32_t kNoun = 9;
constexpr std::int32_t kVerb = 10;
constexpr std::int32_t kParticle = 11;
constexpr std::int32_t kAuxiliary = 12;

// A morpheme like する, さえ or できる after a noun run: the noun is one that
// such a word turns into a verb or sets apart, so the noun pool files it alone.
bool closesRunWithMarker(const std::string& surface) {
    const std::u32string chars = engine::codePoints(surface);
    if (!chars.empty() &&
        std::u32string_view(U"さしすせそ").find(chars.front()) != std::u32string_view::npos)
        return true;
    return surface.find("でき") != std::string::npos;
}

bool isFullStop(const std::string& surface) {
    return surface == "。" || surface == ".";
}

} // namespace

void sequencerClass::appendSequence(const std::string& pos, const std::string& surface) {
    const std::int32_t code = codeOf(pos);
    if (code == 0) {
        // The morpheme is dropped; a pending unit goes on with the next one.
        engine::messageBox("予期しない形態素です: " + pos);
        return;
    }
    switch (myStatus) {
    case nounRun:
        if (code == kNoun) {
            myCache += surface;
        } else if (code == kSuffix) {
            myCache += surface;
            flushTo(1);
        } else {
            if (closesRunWithMarker(surface))
                myCache += nounMarker;
            flushTo(1);
            idleRules(code, surface);
        }
        break;
    case verbPending:
        if (code == kParticle) {
            myCache += surface;
            flushTo(2);
        } else if (code == kAuxiliary) {
            myCache += surface;
            myStatus = verbAuxRun;
        } else {
            flushTo(4);
            idleRules(code, surface);
        }
        break;
    case verbAuxRun:
        if (code == kAuxiliary) {
            myCache += surface;
        } else if (isFullStop(surface)) {
            myCache += surface;
            flushTo(3);
        } else {
            flushTo(3);
            idleRules(code, surface);
        }
        break;
    case adjectivePending:
        if (code == kAuxiliary && surface != "です") {
            myCache += surface;
            flushTo(5);
        } else if (code == kAdjectivalNoun) {
            myCache += surface;
            flushTo(7);
        } else {
            flushTo(5);
            idleRules(code, surface);
        }
        break;
    default:
        idleRules(code, surface);
        break;
    }
}

void sequencerClass::idleRules(std::int32_t code, const std::string& surface) {
    switch (code) {
    case kNoun:
        myCache += surface;
        myStatus = nounRun;
        break;
    case kVerb:
        myCache += surface;
        myStatus = verbPending;
        break;
    case kAdjective:
        myCache = surface;
        myStatus = adjectivePending;
        break;
    case kAdverb:
        emitTo(6, surface);
        break;
    default:
        emitTo(7, surface);
        break;
    }
}

void sequencerClass::flushTo(std::int32_t k) {
    pool(k)->appendMorpheme(myCache);
    myPart.push_back(k);
    myCache.clear();
    myStatus = mergeIdle;
}

void sequencerClass::emitTo(std::int32_t k, const std::string& surface) {
    pool(k)->appendMorpheme(surface);
    myPart.push_back(k);
    myStatus = mergeIdle;
}

void sequencerClass::closePendingUnit() {
    switch (myStatus) {
    case nounRun:
        flushTo(1);
        break;
    case verbPending:
        flushTo(4);
        break;
    case verbAuxRun:
        flushTo(3);
        break;
    case adjectivePending:
        flushTo(5);
        break;
    default:
        break;
    }
}
