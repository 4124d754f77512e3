#include "client/reply_walk.h"

#include "engine/hooks.h"
#include "engine/line_end.h"
#include "engine/sequencer.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace client {

namespace {

bool isElement(pugi::xml_node n) {
    return n.type() == pugi::node_element;
}

// What the escaping puts in place of what. Each replaces one byte; the bytes
// before it (`kept` of them) and after it stay as they were.
struct Replacement {
    std::string_view from, to;
    std::size_t kept;
};
constexpr Replacement kReplacements[] = {
    {engine::kLineEnd, "EndOfLine", 0},
    {"\t", "tab", 0},
    {"<surface> </surface>", "<surface>space</surface>", 9},
};

// The escaping read backwards: the offset in the reply of the byte that
// became the escaped text's byte at `escaped`; a byte put in by a replacement
// comes from the byte it replaced. Only a refused reply needs it: the reply
// is read through once more here, and the escaping keeps no record on every parse.
std::size_t replyOffset(std::string_view reply, std::size_t escaped) {
    std::size_t from = 0, to = 0; // the same place in the reply and the escaped text
    while (from < reply.size()) {
        const std::string_view rest = reply.substr(from);
        const Replacement* r =
            std::find_if(std::begin(kReplacements), std::end(kReplacements),
                         [&](const Replacement& x) { return rest.starts_with(x.from); });
        if (r == std::end(kReplacements)) {
            if (to == escaped)
                return from;
            ++from, ++to;
            continue;
        }
        if (const std::size_t in = escaped - to; in < r->to.size()) {
            const std::size_t grown = r->to.size() - r->from.size();
            if (in < r->kept)
                return from + in;
            if (in <= r->kept + grown)
                return from + r->kept;
            return from + in - grown;
        }
        from += r->from.size();
        to += r->to.size();
    }
    return from + (escaped - to); // past the end, as far as the parser read past it
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

bool loadReply(pugi::xml_document& doc, std::string& text, std::string_view reply,
               ReplyFailure* failure) {
    // No XML holds a NUL character, and the parser, loading in place, takes
    // one for the end of the text: a reply cut there by a NUL in its last
    // end tag would load as if it were whole. The escaping leaves NULs alone,
    // so the first one in the text is the first one in the reply.
    if (text.find('\0') != std::string::npos) {
        if (failure)
            *failure = {QStringLiteral("Error: 応答を読めません"),
                        QStringLiteral("XMLとして読めません: NUL文字 (%1バイト目)")
                            .arg(static_cast<qlonglong>(reply.find('\0') + 1))};
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
                        .arg(static_cast<qlonglong>(replyOffset(reply, result.offset) + 1))};
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
