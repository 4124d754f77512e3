#pragma once
// The positional walk of an escaped analysis reply: by position, never by
// element name. Root → its first child → that child's third child is the word
// list; each word's first child holds the surface and its last child the part
// of speech. Only element nodes count as children, so indentation or the
// "EndOfLine" words that the escaping leaves between elements never shift a
// position.

#include "engine/morpheme_resource.h"

#include <pugixml.hpp>

#include <QString>
#include <string>
#include <string_view>

class sequencerClass;

namespace client {

// Why a reply could not be walked: a short report that fits the status line,
// and the detail (the parser's message, the word's position) for its tooltip.
struct ReplyFailure {
    QString text;
    QString detail;
};

// The element child at index (0-based), or an empty node.
pugi::xml_node elementChild(pugi::xml_node node, int index);
// The number of element children.
int elementChildCount(pugi::xml_node node);
// The last element child, or an empty node.
pugi::xml_node lastElementChild(pugi::xml_node node);

// Loads the escaped reply text in place, without a copy: the document points
// into `text`, which must outlive it and is changed by the parse. On failure
// returns false and describes it, with the place told in the reply as it
// arrived (`escapes`, noted when `text` was escaped).
bool loadReply(pugi::xml_document& doc, std::string& text,
               const morphemeResource::EscapeRecord& escapes, ReplyFailure* failure);

// The word list of a loaded reply, or an empty node (and a description).
pugi::xml_node findWordList(const pugi::xml_document& doc, ReplyFailure* failure);

// Feeds every word of the list to the sequencer, in order, passing a yield
// point after each word. A word without children, or whose part-of-speech
// element is empty, ends the walk with a failure (the words before it stay
// filed); a word whose surface element is empty stands for a line end.
bool walkWordList(pugi::xml_node list, sequencerClass& sequence, ReplyFailure* failure);

// The surface of a "特殊" word as the escaping left it, mapped back:
// "EndOfLine" → CR, "tab" → tab, "space" → one space; anything else unchanged.
std::string mapSpecialSurface(const std::string& surface);

} // namespace client
