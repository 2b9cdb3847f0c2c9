// SPDX-License-Identifier: GPL-3.0-or-later
// XML of the .xrdml, .brml and .rasx files through pugixml. pugixml expands no entity
// beyond the five predefined ones and character references, and reads no DTD, so an entity
// bomb stays the text it is; the parser itself is not recursive. The walks below are not
// recursive either, so a deeply nested document cannot exhaust the stack.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

#include "reader_support.h"

namespace dorvalix::pattern_io {

// Parses `text` into `document`; refuses a document that is not well-formed.
void ParseXml(pugi::xml_document& document, std::string_view text, const ReadContext& context);

// The element's name without a namespace prefix.
std::string_view LocalName(const pugi::xml_node& node);

// The first child element of that local name (an empty node when there is none).
pugi::xml_node Child(const pugi::xml_node& node, std::string_view name);
// Every child element of that local name.
std::vector<pugi::xml_node> Children(const pugi::xml_node& node, std::string_view name);
// The first element of that local name below `node`, in document order.
pugi::xml_node Descendant(const pugi::xml_node& node, std::string_view name);
// Every element of that local name below `node`, in document order.
std::vector<pugi::xml_node> Descendants(const pugi::xml_node& node, std::string_view name);

// The element's text, blanks trimmed.
std::string_view TextOf(const pugi::xml_node& node);
// The element's text (or, with `attribute`, that attribute) as a number; false when absent
// or not a number.
bool NumberOf(const pugi::xml_node& node, double& value);
bool AttributeNumber(const pugi::xml_node& node, const char* attribute, double& value);

// A list of numbers separated by blanks (the counts of an .xrdml scan); refuses a token
// that is not a number, naming `what`.
std::vector<double> NumberList(std::string_view text, const ReadContext& context,
                               std::string_view what);

}  // namespace dorvalix::pattern_io
