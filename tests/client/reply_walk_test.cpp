// The positional walk of an escaped reply into a sequencer.

#include "client/reply_walk.h"
#include "engine/morpheme_resource.h"
#include "engine/sequencer.h"

#include <gtest/gtest.h>

namespace {

// Walks an escaped reply whose word list (the root's first child's third
// child) holds `words`, and replays the sequencer without reordering; "!"
// marks a failed walk. Indentation and line ends stand between the elements
// of every reply: only elements count as children.
std::string walkAndReplay(const std::string& words) {
    const std::string body = "<?xml version=\"1.0\"?>\n<r>\n <a>\n  <c/>\n  <c/>\n  <list>" +
                             words + "</list>\n </a>\n</r>\n";
    morphemeResource::EscapeRecord escapes;
    std::string reply = morphemeResource::replaceAllTheSpecialCharactersToSymbol(body, &escapes);
    pugi::xml_document doc;
    client::ReplyFailure failure;
    if (!client::loadReply(doc, reply, escapes, &failure))
        return "!load";
    sequencerClass sequence;
    sequence.Constructor();
    const bool walked =
        client::walkWordList(client::findWordList(doc, &failure), sequence, &failure);
    std::string text, piece;
    while (sequence.getNextMorpheme(piece))
        text += piece;
    return walked ? text : "!" + text;
}

TEST(ReplyWalk, CraftedWordLists) {
    struct Case {
        const char* name;
        std::string words;
        std::string expected;
    };
    const Case cases[] = {
        {"empty list", "", ""},
        {"indented words",
         "\n   <w>\n    <s>猫</s>\n    <p>名詞</p>\n   </w>\n   <w><s>が</s><p>助詞</p></w>\n  ",
         "猫が"},
        {"a surface of two blanks stays two blanks", "<w><s>  </s><p>特殊</p></w>", "  "},
        {"whitespace only for 特殊",
         "<w><s> </s><p>特殊</p></w><w><s>\t</s><p>特殊</p></w>"
         "<w><s>\n</s><p>特殊</p></w><w><s>tab</s><p>名詞</p></w>",
         " \t\rtab"},
        {"escaped words of other classes stay words",
         "<w><s>space</s><p>名詞</p></w><w><s>EndOfLine</s><p>助詞</p></w>", "spaceEndOfLine"},
        {"bare word is a line end", "<w><s>猫</s><p>名詞</p></w><w><s/><p>名詞</p></w>", "猫\n"},
        {"middle child ignored, last is the part of speech",
         "<w><s>走る</s><p>名詞</p><p>動詞</p></w>", "走る"},
        {"word without children fails, earlier words kept",
         "<w><s>猫</s><p>名詞</p></w><w/><w><s>犬</s><p>名詞</p></w>", "!猫"},
        {"empty part of speech fails", "<w><s>猫</s><p></p></w>", "!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(walkAndReplay(c.words), c.expected) << c.name;

    // A NUL is no XML; in the last end tag it would pass for the text's end.
    const char bytes[] = "<r><a><c/><c/><l><w><s>猫</s><p>名詞</p></w></l></a></r\0>";
    std::string cut(bytes, sizeof bytes - 1);
    pugi::xml_document doc;
    EXPECT_FALSE(client::loadReply(doc, cut, morphemeResource::EscapeRecord(), nullptr));
}

} // namespace
