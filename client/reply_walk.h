#pragma once
// The positional walk of an escaped analysis reply: by position, never by
// element name. Root → its first child → that child's third child is the word
// list; each word's first child holds the surface and its last child the part
// of speech. Only element nodes count as children, so indentation or the
// "EndOfLine" words that the escaping leaves between elements never shift a
// position.

#include <pugixml.hpp>

#include <QString>
#include <string>

namespace client {

// The element child at index (0-based), or an empty node.
pugi::xml_node elementChild(pugi::xml_node node, int index);
// The number of element children.
int elementChildCount(pugi::xml_node node);
// The last element child, or an empty node.
pugi::xml_node lastElementChild(pugi::xml_node node);

// Loads the escaped reply text; on failure returns false and describes it.
bool loadReply(pugi::xml_document& doc, const std::string& text, QString* failure);

// The word list of a loaded reply, or an empty node (and a description).
pugi::xml_node findWordList(const pugi::xml_document& doc, QString* failure);

// The surface of a "特殊" word as the escaping left it, mapped back:
// "EndOfLine" → CR, "tab" → tab, "space" → one space; anything else unchanged.
std::string mapSpecialSurface(const std::string& surface);

} // namespace client
