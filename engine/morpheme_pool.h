#pragma once
// The pools of the morpheme engine. Every pool is reached through iMorpheme:
// the simple pool morphemeClass is an ordered list of texts with a read cursor;
// the composite pools sort their texts into numbered sub-pools (simple pools)
// by a rule on the text and hand them back out through the recorded numbers.
//
// Cursors: a cursor is the index of the last entry handed out, -1 before the
// first. getNextMorpheme steps it; past the last entry it returns false,
// leaves the out text alone and sets the cursor back to -1.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Appended by the sequencer to a noun run closed by a "さしすせそ" or "でき"
// morpheme; the noun pool removes it again and files the noun apart.
inline constexpr std::string_view nounMarker = "0120buhaha";

class iMorpheme {
public:
    virtual ~iMorpheme() = default;

    // Puts the pool's texts (or its reordered sub-pools) into a random order.
    virtual void shuffleMorphs() = 0;
    // Sets the read cursor; -1 rewinds.
    virtual void setMyPointerAt(std::int32_t index) = 0;
    // Appends `text` to the last stored text.
    virtual void joinMorpheme(const std::string& text) = 0;
    // Empties the pool; run by Constructor.
    virtual void initialize() = 0;
    // Hands out the next text; false past the last one.
    virtual bool getNextMorpheme(std::string& text) = 0;
    // Reads the text at `index` without moving the cursor.
    virtual bool getMorpher(std::int32_t index, std::string& text) = 0;
    // Files a text.
    virtual void appendMorpheme(const std::string& text) = 0;
};

// The simple pool: pools 6 and 7, every sub-pool, and the base of the
// composite pools.
class morphemeClass : public iMorpheme {
public:
    // Creators call this right after creating the object: it runs the most
    // derived initialize(), which a C++ constructor cannot do.
    virtual void Constructor();

    void appendMorpheme(const std::string& text) override;
    bool getNextMorpheme(std::string& text) override;
    bool getMorpher(std::int32_t index, std::string& text) override;
    void shuffleMorphs() override;
    void initialize() override;
    void joinMorpheme(const std::string& text) override;
    void setMyPointerAt(std::int32_t index) override;

    std::vector<std::string> myMorpheme; // stored texts, in appending or reordered order
    std::int32_t myPointer = -1;         // index of the last text handed out
};

// The composite pool and the verb + particle pool (4 sub-pools): the unit's
// ending picks the sub-pool ("て"/"で", "ながら"/"つつ", "の"/"よう"/"と",
// anything else); sub-pools 1 to 3 are reordered.
class DoshiJoshiClass : public morphemeClass {
public:
    void appendMorpheme(const std::string& text) override;
    bool getNextMorpheme(std::string& text) override;
    void shuffleMorphs() override;
    void initialize() override;
    void setMyPointerAt(std::int32_t index) override;

    // Sub-pools; index 0 holds none, 1..N one simple pool each.
    std::vector<std::unique_ptr<iMorpheme>> mySubMorpheme;
    // The sub-pool number of every text, in the order of appending.
    std::vector<std::int32_t> myPart;
    // The composite pool's own cursor into myPart. It hides the simple pool's
    // cursor, which (like the simple pool's list) a composite pool never uses.
    std::int32_t myPointer = -1;

protected:
    // Creates `count` empty sub-pools and resets the record and the cursor.
    void setUpSubPools(std::int32_t count);
    // Files `text` into sub-pool `subPool` and records the number.
    void fileInSubPool(std::int32_t subPool, const std::string& text);
    // Reorders sub-pools 1 to `last`.
    void shuffleSubPools(std::int32_t last);
    // Sub-pool k, or nullptr when k names none.
    iMorpheme* subPool(std::int32_t k) const;
    // Rewinds every sub-pool.
    void rewindSubPools();
};

// Verb + auxiliary pool (4 sub-pools): ends in a full stop, in "た", in "たら",
// anything else; sub-pools 1 to 3 are reordered.
class DoshiJodoshiClass : public DoshiJoshiClass {
public:
    void appendMorpheme(const std::string& text) override;
    void shuffleMorphs() override;
    void initialize() override;
};

// Verb pool (6 sub-pools): one character long, then the kana row of the last
// character (a, i, u, e), anything else; sub-pools 1 to 5 are reordered.
class DoshiClass : public DoshiJoshiClass {
public:
    void appendMorpheme(const std::string& text) override;
    void shuffleMorphs() override;
    void initialize() override;
};

// Adjective pool (3 sub-pools): ends in "い", in "く", anything else;
// sub-pools 1 and 2 are reordered.
class KeiyoshiClass : public DoshiJoshiClass {
public:
    void appendMorpheme(const std::string& text) override;
    void shuffleMorphs() override;
    void initialize() override;
};

// Noun pool (3 sub-pools): marked nouns (stored without the marker), nouns of
// two or more ideographs, anything else; sub-pools 1 and 2 are reordered.
class MeishiClass : public DoshiJoshiClass {
public:
    void appendMorpheme(const std::string& text) override;
    void shuffleMorphs() override;
    void initialize() override;
};
