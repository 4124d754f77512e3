// Fuzzes the road of a reply body inside the program: escaping, loading, the
// positional walk into a new sequencer and the replay. Checked against a
// reading written from the reply rules: the escaping done as three
// whole-text replacements (tests/support), byte by byte so that every place
// in the escaped text is told in the reply as it arrived; the word list found
// and read by XPath, and the surfaces joined with "EndOfLine", "tab" and
// "space" mapped back. Replayed without reordering, the sequencer must give
// exactly those surfaces; after reordering, a replay must be repeatable.

#include "client/reply_walk.h"
#include "engine/hooks.h"
#include "engine/morpheme_pool.h"
#include "engine/morpheme_resource.h"
#include "engine/sequencer.h"
#include "tests/support/escaping_model.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool isPartOfSpeech(const std::string& pos) {
    static const char* const names[] = {"形容詞", "形容動詞", "感動詞", "副詞", "連体詞",
                                        "接続詞", "接頭辞",   "接尾辞", "名詞", "動詞",
                                        "助詞",   "助動詞",   "特殊"};
    return std::find(std::begin(names), std::end(names), pos) != std::end(names);
}

// The text the words of an escaped reply stand for, up to the first word
// that cannot be read: the root's first element, its third element, then
// each element of that in order; a word's first element holds the surface,
// its last element the part of speech, each as that element's first node.
std::string expectedText(const pugi::xml_document& doc) {
    static const pugi::xpath_query words("/*[1]/*[1]/*[3]/*");
    static const pugi::xpath_query surfaceElement("*[1]");
    static const pugi::xpath_query surfaceNode("*[1]/node()[1]");
    static const pugi::xpath_query posNode("*[last()]/node()[1]");
    std::string text;
    for (const pugi::xpath_node& word : words.evaluate_node_set(doc)) {
        if (!surfaceElement.evaluate_node(word))
            break;
        const pugi::xml_node surface = surfaceNode.evaluate_node(word).node();
        if (!surface) {
            text += "\n"; // an empty surface element stands for a line end
            continue;
        }
        const pugi::xml_node pos = posNode.evaluate_node(word).node();
        if (!pos)
            break;
        std::string unit = surface.value();
        if (std::string(pos.value()) == "特殊")
            unit = unit == "EndOfLine" ? "\r" : unit == "tab" ? "\t" : unit == "space" ? " " : unit;
        if (isPartOfSpeech(pos.value()))
            text += unit; // a word of another part of speech is dropped
    }
    return text;
}

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
    const testing_support::TracedText traced = testing_support::tracedByPasses(body);
    const std::string& model = traced.text;
    morphemeResource::EscapeRecord escapes;
    std::string text = morphemeResource::replaceAllTheSpecialCharactersToSymbol(body, &escapes);
    if (text != model)
        std::abort(); // the escaping is the three replacements, in that order

    // The byte of the body each place in the escaped text stands for, as the
    // passes moved it there; past the end, as far past the body's end. The
    // record is read from its start for every place, a step per replacement
    // (at most one per line end, tab or space): every place of a text with
    // few replacements is checked, of the rest places spread over it, about
    // 1024 steps in all.
    const auto origin = [&](std::size_t at) {
        return at < model.size() ? traced.origin[at] : size + (at - model.size());
    };
    const std::size_t replaced = static_cast<std::size_t>(std::count_if(
        body.begin(), body.end(), [](char c) { return c == '\n' || c == '\t' || c == ' '; }));
    const std::size_t step = (model.size() + 2) * (replaced + 1) / 1024 + 1;
    for (std::size_t at = 0; at <= model.size() + 1; at += step)
        if (escapes.originalOffset(at) != origin(at))
            std::abort(); // the record tells another byte of the body

    // The same parser options as the program, and in place like it (with no
    // element at all, a load of a copy stops a byte further): which nodes
    // exist is the parser's business; which of them count is what is checked
    // here. No XML holds a NUL character.
    pugi::xml_document expectedDoc;
    std::string expectedBuffer = model; // the document points into it
    const std::size_t nul = model.find('\0');
    pugi::xml_parse_result expectedResult;
    if (nul == std::string::npos)
        expectedResult = expectedDoc.load_buffer_inplace(
            expectedBuffer.data(), expectedBuffer.size(),
            pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
    const bool expectedLoads = nul == std::string::npos && expectedResult;
    pugi::xml_document doc;
    client::ReplyFailure failure;
    if (client::loadReply(doc, text, escapes, &failure) != expectedLoads)
        std::abort();
    if (!expectedLoads) {
        // The place where loading stopped, told in the body as it arrived,
        // its first byte the 1st.
        const std::size_t stop = nul != std::string::npos ? nul : expectedResult.offset;
        if (!failure.detail.endsWith(
                QStringLiteral("(%1バイト目)").arg(static_cast<qulonglong>(origin(stop) + 1))))
            std::abort();
        return 0;
    }
    const std::string expected = expectedText(expectedDoc);
    // The noun pool removes the marker text wherever a noun unit holds it; a
    // reply that contains it cannot come back unchanged, by design.
    if (expected.find(nounMarker) != std::string::npos)
        return -1;

    sequencerClass sequence;
    sequence.Constructor();
    if (const pugi::xml_node list = client::findWordList(doc, nullptr))
        client::walkWordList(list, sequence, nullptr);
    if (replay(sequence) != expected)
        std::abort(); // the walk loses, adds, moves or misreads a word

    sequence.shuffleIt({1, 2, 3, 4, 5});
    const std::string first = replay(sequence);
    if (replay(sequence) != first)
        std::abort(); // a complete replay rewinds everything
    return 0;
}
