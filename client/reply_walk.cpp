#include "client/reply_walk.h"

#include "engine/hooks.h"
#include "engine/line_end.h"
#include "engine/sequencer.h"

#include <string_view>

namespace client {

namespace {

bool isElement(pugi::xml_node n) {
    return n.type() == pugi::node_element;
}

} // namespace

pugi::xml_node elementChild(pugi::xml_node node, int index) {
    if (index < 0)
        return {};
    int i = 0;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (!isElement(child))
            continue;
        if (i == index)
            return child;
        ++i;
    }
    return {};
}

int elementChildCount(pugi::xml_node node) {
    int count = 0;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (isElement(child))
            ++count;
    return count;
}

pugi::xml_node lastElementChild(pugi::xml_node node) {
    for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling())
        if (isElement(child))
            return child;
    return {};
}

bool loadReply(pugi::xml_document& doc, std::string& text,
               const morphemeResource::EscapeRecord& escapes, ReplyFailure* failure) {
    // No XML holds a NUL character, and the parser, loading in place, takes
    // one for the end of the text: a reply cut there by a NUL in its last
    // end tag would load as if it were whole. Places are told in the reply as
    // it arrived, its first byte the 1st.
    if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
        if (failure)
            *failure = {QStringLiteral("Error: 応答を読めません"),
                        QStringLiteral("XMLとして読めません: NUL文字 (%1バイト目)")
                            .arg(static_cast<qlonglong>(escapes.originalOffset(nul) + 1))};
        return false;
    }
    // A whitespace-only text that is an element's only child is kept (a surface
    // of two spaces stays two spaces); the reply is UTF-8 whatever it declares.
    const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(text.data(), text.size(), options, pugi::encoding_utf8);
    if (result)
        return true;
    if (failure)
        *failure = {QStringLiteral("Error: 応答を読めません"),
                    QStringLiteral("XMLとして読めません: %1 (%2バイト目)")
                        .arg(QString::fromUtf8(result.description()))
                        .arg(static_cast<qlonglong>(
                            escapes.originalOffset(static_cast<std::size_t>(result.offset)) + 1))};
    return false;
}

pugi::xml_node findWordList(const pugi::xml_document& doc, ReplyFailure* failure) {
    const pugi::xml_node list = elementChild(elementChild(doc.document_element(), 0), 2);
    if (!list && failure)
        *failure = {QStringLiteral("Error: 語の一覧がありません"),
                    QStringLiteral("応答に語の一覧がありません")};
    return list;
}

bool walkWordList(pugi::xml_node list, sequencerClass& sequence, ReplyFailure* failure) {
    const int n = elementChildCount(list); // read once, before the walk
    int i = 0;
    for (pugi::xml_node word = elementChild(list, 0); word && i < n; ++i) {
        const pugi::xml_node surfaceElement = elementChild(word, 0);
        const pugi::xml_node posNode = lastElementChild(word).first_child();
        if (!surfaceElement || (surfaceElement.first_child() && !posNode)) {
            if (failure)
                *failure = {QStringLiteral("Error: 応答の語を読めません"),
                            QStringLiteral("%1番目の語").arg(i + 1)};
            return false;
        }
        if (const pugi::xml_node surfaceNode = surfaceElement.first_child()) {
            const std::string pos = posNode.value();
            std::string surface = surfaceNode.value();
            if (pos == "特殊")
                surface = mapSpecialSurface(surface);
            sequence.appendSequence(pos, surface);
        } else {
            // A word with an empty surface element stands for a line end.
            sequence.appendSequence("特殊", std::string(engine::kLineEnd));
        }
        engine::yieldPoint();
        do
            word = word.next_sibling();
        while (word && word.type() != pugi::node_element);
    }
    return true;
}

std::string mapSpecialSurface(const std::string& surface) {
    if (surface == "EndOfLine")
        return "\r";
    if (surface == "tab")
        return "\t";
    if (surface == "space")
        return " ";
    return surface;
}

} // namespace client
