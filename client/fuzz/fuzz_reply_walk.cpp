// Fuzzes the road of a reply body inside the program: escaping, loading,
// the positional walk into a new sequencer, reordering and two replays. Any
// bytes must come through without a crash, the program's one-buffer escaping
// must match the engine's, and a replay must be repeatable.

#include "client/reply_walk.h"
#include "engine/hooks.h"
#include "engine/morpheme_resource.h"
#include "engine/sequencer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string replay(sequencerClass& sequence) {
    std::string text, piece;
    while (sequence.getNextMorpheme(piece))
        text += piece;
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        engine::hooks().messageBox = [](const std::string&) {};
        engine::seedRandom(1);
        return true;
    }();
    (void)quiet;

    const std::string body(reinterpret_cast<const char*>(data), size);
    std::string text = morphemeResource::replaceAllTheSpecialCharactersToSymbol(body);
    if (morphemeResource::replaceAllTheSpecialCharactersToSymbol(text) != text)
        std::abort(); // escaping twice changes nothing

    pugi::xml_document doc;
    if (!client::loadReply(doc, text, nullptr))
        return 0;
    const pugi::xml_node list = client::findWordList(doc, nullptr);
    if (!list)
        return 0;
    sequencerClass sequence;
    sequence.Constructor();
    client::walkWordList(list, sequence, nullptr);
    sequence.shuffleIt({1, 2, 3, 4, 5});
    const std::string first = replay(sequence);
    if (replay(sequence) != first)
        std::abort(); // a complete replay rewinds everything
    return 0;
}
