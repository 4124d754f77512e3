// The positional walk's building blocks: which nodes count, loading, and the
// mapping of escaped whitespace surfaces.

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
    pugi::xml_document doc;
    QString failure;
    ASSERT_TRUE(client::loadReply(
        doc, morphemeResource::replaceAllTheSpecialCharactersToSymbol(reply), &failure))
        << failure.toStdString();
    const pugi::xml_node list = client::findWordList(doc, &failure);
    ASSERT_TRUE(list);
    EXPECT_STREQ(list.name(), "list");
    EXPECT_EQ(client::elementChildCount(list), 2);
    EXPECT_STREQ(client::lastElementChild(client::elementChild(list, 0)).name(), "p");
    EXPECT_FALSE(client::elementChild(list, 2));
    EXPECT_FALSE(client::elementChild(list, -1));
}

TEST(ReplyWalk, WhitespaceOnlySurfaceIsKept) {
    pugi::xml_document doc;
    ASSERT_TRUE(client::loadReply(doc, "<r><s>  </s></r>", nullptr));
    EXPECT_STREQ(doc.document_element().first_child().first_child().value(), "  ");
}

TEST(ReplyWalk, FailuresAreDescribedNotThrown) {
    struct Case {
        const char* name;
        std::string text;
        bool loads;
    };
    const Case cases[] = {
        {"empty body", "", false},
        {"not XML", "Service Unavailable", false},
        {"cut off", "<r><a><b/><c/><list><w><s>x", false},
        {"invalid UTF-8 inside",
         "<r><a><b/><c/><list><w><s>\xff\xfe</s><p>名詞</p></w></list></a></r>", true},
        {"root without children", "<r/>", true},
        {"two children only", "<r><a><b/><c/></a></r>", true},
    };
    for (const Case& c : cases) {
        pugi::xml_document doc;
        QString failure;
        const bool loaded = client::loadReply(doc, c.text, &failure);
        EXPECT_EQ(loaded, c.loads) << c.name;
        if (!loaded) {
            EXPECT_TRUE(failure.startsWith("Error: ")) << c.name;
            continue;
        }
        const bool hasList = bool(client::findWordList(doc, &failure));
        if (!hasList) {
            EXPECT_TRUE(failure.startsWith("Error: ")) << c.name;
        }
    }
}

// Walks an escaped reply whose word list holds `words` and replays the
// sequencer without reordering; "!" stands for a failed walk.
std::string walkAndReplay(const std::string& words) {
    const std::string reply = "<r><a><c/><c/><list>" + words + "</list></a></r>";
    pugi::xml_document doc;
    QString failure;
    if (!client::loadReply(doc, morphemeResource::replaceAllTheSpecialCharactersToSymbol(reply),
                           &failure))
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

TEST(ReplyWalk, SpecialSurfacesMapBack) {
    struct Case {
        const char* surface;
        const char* expected;
    };
    const Case cases[] = {
        {"EndOfLine", "\r"}, {"tab", "\t"},      {"space", " "},
        {"、", "、"},        {"Space", "Space"}, {"endofline", "endofline"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(client::mapSpecialSurface(c.surface), c.expected) << c.surface;
}

} // namespace
