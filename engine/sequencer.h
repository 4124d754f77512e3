#pragma once
// The engine's facade. It takes the analysed morphemes in text order, merges
// neighbours into units, files every unit into one of seven pools and records
// the pool of each unit; it reorders chosen pools at random and replays the
// units in text order, each position taking the next text of its pool.
//
//   pool 1 nouns, 2 verb + particle, 3 verb + auxiliaries, 4 verbs,
//   5 adjectives, 6 adverbs, 7 everything else.

#include "engine/morpheme_pool.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class sequencerClass {
public:
    // Merge states (myStatus).
    static constexpr std::int32_t mergeIdle = 0;        // nothing pending
    static constexpr std::int32_t nounRun = 1;          // one or more nouns
    static constexpr std::int32_t verbPending = 2;      // one verb
    static constexpr std::int32_t verbAuxRun = 3;       // a verb and its auxiliaries
    static constexpr std::int32_t adjectivePending = 4; // one adjective

    virtual ~sequencerClass() = default;

    // Takes one analysed morpheme (part-of-speech name, surface) in text order.
    virtual void appendSequence(const std::string& pos, const std::string& surface);
    // Resets the sequencer and builds its code table and empty pools.
    virtual void initialize();
    // Hands out the next unit of the replay; false after the last one, and the
    // next call starts again with the first.
    virtual bool getNextMorpheme(std::string& s);
    // Asks each pool named in `list` (1 to 7) to reorder itself.
    virtual void shuffleIt(const std::vector<std::int32_t>& list);
    // Run right after creation: runs the most derived initialize().
    virtual void Constructor();
    // Writes every pool to a text file the user chooses.
    virtual void writeToTextFile();

    std::int32_t myPointer = -1;                         // replay cursor into myPart
    std::vector<std::int32_t> myPart;                    // pool number of every unit, in text order
    std::map<std::string, std::int32_t> morphDictionary; // part-of-speech name -> code
    std::vector<std::unique_ptr<iMorpheme>> myMorpheme;  // pools 1..7; index 0 holds none
    std::string myCache;                                 // text of the unit being merged
    std::int32_t myStatus = mergeIdle;                   // merge state
    std::vector<std::string> myNameOfMorpheme;           // display name of pools 1..7

    // Files the unit still being merged as if the input had ended there. The
    // walk calls nothing after its last word, so the replay, the reordering and
    // the dump do this first; without it the text's last unit would be lost.
    void closePendingUnit();

private:
    std::int32_t codeOf(const std::string& pos) const;
    iMorpheme* pool(std::int32_t k) const;
    void flushTo(std::int32_t k);
    void emitTo(std::int32_t k, const std::string& surface);
    void idleRules(std::int32_t code, const std::string& surface);
    void rewindPools();
};
