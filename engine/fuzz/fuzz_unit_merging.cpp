// Fuzzes unit merging and the replay: a word list built from the bytes goes
// into a sequencer. Replayed without reordering, the units joined give back the
// surfaces joined; a replay repeats itself; reordering every pool hands out the
// same units, only in other places.
//
// The bytes are read as words: a part-of-speech byte, a count byte, then that
// many piece bytes. A piece byte below the size of the piece table picks one of
// the pieces the rules look at (so short inputs reach them); any other byte is
// taken as it is, so invalid UTF-8 reaches the rules too.

#include "engine/hooks.h"
#include "engine/morpheme_pool.h"
#include "engine/sequencer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The thirteen names of the code table and one it does not know (that word is
// dropped with a message).
constexpr std::array<std::string_view, 14> kPartsOfSpeech = {
    "形容詞", "形容動詞", "感動詞", "副詞", "連体詞", "接続詞", "接頭辞",
    "接尾辞", "名詞",     "動詞",   "助詞", "助動詞", "特殊",   "未知"};

// Full stops, "です", the kana and "でき" that mark a noun, the endings the
// composite pools sort by, kana of each row, ideographs and whitespace.
constexpr std::array<std::string_view, 32> kPieces = {
    "。",     ".",    "です", "さ",   "し", "す", "せ",   "そ", "でき", "て", "で",
    "ながら", "つつ", "の",   "よう", "と", "た", "たら", "い", "く",   "か", "き",
    "け",     "う",   "る",   "漢",   "字", " ",  "\n",   "\t", "a",    "ー"};

struct Word {
    std::string_view pos;
    std::string surface;
};

std::vector<Word> wordsFrom(const std::uint8_t* data, std::size_t size) {
    std::vector<Word> words;
    std::size_t at = 0;
    while (at + 1 < size) {
        Word word{kPartsOfSpeech[data[at] % kPartsOfSpeech.size()], {}};
        std::size_t pieces = data[at + 1] % 4;
        at += 2;
        for (; pieces > 0 && at < size; --pieces, ++at) {
            if (data[at] < kPieces.size())
                word.surface += kPieces[data[at]];
            else
                word.surface += static_cast<char>(data[at]);
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::vector<std::string> replay(sequencerClass& sequence) {
    std::vector<std::string> units;
    std::string unit;
    while (sequence.getNextMorpheme(unit))
        units.push_back(unit);
    return units;
}

std::string joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const auto& text : texts)
        all += text;
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        engine::hooks().messageBox = [](const std::string&) {};
        return true;
    }();
    (void)quiet;

    const std::vector<Word> words = wordsFrom(data, size);
    std::string expected;
    for (const auto& word : words)
        if (word.pos != kPartsOfSpeech.back())
            expected += word.surface;
    // The noun pool removes the marker text wherever a noun unit holds it; a
    // text that contains it cannot come back unchanged, by design.
    if (expected.find(nounMarker) != std::string::npos)
        return -1;

    sequencerClass sequence;
    sequence.Constructor();
    for (const auto& word : words)
        sequence.appendSequence(std::string(word.pos), word.surface);

    const std::vector<std::string> inOrder = replay(sequence);
    if (joined(inOrder) != expected)
        std::abort(); // merging loses, adds or moves text
    if (inOrder.size() != sequence.myPart.size())
        std::abort(); // a position without its unit
    if (replay(sequence) != inOrder)
        std::abort(); // a complete replay rewinds everything

    engine::seedRandom(static_cast<std::uint32_t>(size));
    sequence.shuffleIt({1, 2, 3, 4, 5, 6, 7});
    std::vector<std::string> reordered = replay(sequence);
    if (replay(sequence) != reordered)
        std::abort();
    std::vector<std::string> units = inOrder;
    std::sort(units.begin(), units.end());
    std::sort(reordered.begin(), reordered.end());
    if (reordered != units)
        std::abort(); // reordering lost or duplicated a unit
    return 0;
}
