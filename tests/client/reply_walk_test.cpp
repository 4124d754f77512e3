// The positional walk's building blocks: which nodes count,
// loading, and the mapping of escaped whitespace surfaces.

#include "client/reply_walk.h"
#include "engine/morpheme_resource.h"
#include "engine/sequencer.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplyWalk, OnlyElementsCountAsChildren) {
    // Indentation and the "EndOfLine" words the escaping leaves between
    // elements must not shift any position of the walk.
    const std::string reply = "<?xml version=\"1.0\"?>\n<r>\n  <a>\n    <c1/>\n    <c2/>\n"
                              "    <list><w><s>x</s><p>名詞</p></w>\n<w/></list>\n  </a>\n</r>\n";
    std::string text = morphemeResource::replaceAllTheSpecialCharactersToSymbol(reply);
    pugi::xml_document doc;
    client::ReplyFailure failure;
    ASSERT_TRUE(client::loadReply(doc, text, &failure)) << failure.text.toStdString();
    const pugi::xml_node list = client::findWordList(doc, &failure);
    ASSERT_TRUE(list);
    EXPECT_STREQ(list.name(), "list");
    EXPECT_EQ(client::elementChildCount(list), 2);
    EXPECT_STREQ(client::lastElementChild(client::elementChild(list, 0)).name(), "p");
    EXPECT_FALSE(client::elementChild(list, 2));
    EXPECT_FALSE(client::elementChild(list, -1));
}

// Walks an escaped reply whose word list holds `words` and replays the
// sequencer without reordering; "!" stands for a failed walk.
std::string walkAndReplay(const std::string& words) {
    std::string reply = morphemeResource::replaceAllTheSpecialCharactersToSymbol(
        "<r><a><c/><c/><list>" + words + "</list></a></r>");
    pugi::xml_document doc;
    client::ReplyFailure failure;
    if (!client::loadReply(doc, reply, &failure))
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
}

} // namespace
