// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml_support.h"

#include "numtext.h"

namespace dorvalix::pattern_io {

void ParseXml(pugi::xml_document& document, std::string_view text, const ReadContext& context) {
    const pugi::xml_parse_result result =
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        context.Damaged("XML: " + std::string(result.description()) + " at byte " +
                        std::to_string(result.offset));
    }
}

std::string_view LocalName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    if (const std::size_t colon = name.find(':'); colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
    return name;
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && LocalName(c) == name) return c;
    }
    return {};
}

std::vector<pugi::xml_node> Children(const pugi::xml_node& node, std::string_view name) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && LocalName(c) == name) out.push_back(c);
    }
    return out;
}

namespace {

// Calls `visit` for every element below `root` in document order, without recursion;
// stops when it returns false.
template <typename Visit>
void Walk(const pugi::xml_node& root, Visit visit) {
    pugi::xml_node n = root.first_child();
    while (n) {
        if (n.type() == pugi::node_element && !visit(n)) return;
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && n != root && !n.next_sibling())
            n = n.parent();
        if (!n || n == root) return;
        n = n.next_sibling();
    }
}

}  // namespace

pugi::xml_node Descendant(const pugi::xml_node& node, std::string_view name) {
    pugi::xml_node found;
    Walk(node, [&](const pugi::xml_node& n) {
        if (LocalName(n) != name) return true;
        found = n;
        return false;
    });
    return found;
}

std::vector<pugi::xml_node> Descendants(const pugi::xml_node& node, std::string_view name) {
    std::vector<pugi::xml_node> out;
    Walk(node, [&](const pugi::xml_node& n) {
        if (LocalName(n) == name) out.push_back(n);
        return true;
    });
    return out;
}

std::string_view TextOf(const pugi::xml_node& node) {
    return Trim(node.child_value());
}

bool NumberOf(const pugi::xml_node& node, double& value) {
    return node && ParseNumber(TextOf(node), value);
}

bool AttributeNumber(const pugi::xml_node& node, const char* attribute, double& value) {
    const pugi::xml_attribute a = node.attribute(attribute);
    return a && ParseNumber(Trim(a.value()), value);
}

std::vector<double> NumberList(std::string_view text, const ReadContext& context,
                               std::string_view what) {
    std::vector<double> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ')
            ++i;
        const std::size_t b = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ')
            ++i;
        if (i == b) break;
        double v;
        if (!ParseNumber(text.substr(b, i - b), v)) {
            context.Damaged(std::string(what) + ": '" + Quote(text.substr(b, i - b)) +
                            "' is not a number");
        }
        if (out.size() == kMaxPatternPoints) {
            context.Fail(pattern_text::kTooManyPoints, {"more than " + std::to_string(out.size()),
                                                        std::to_string(kMaxPatternPoints)});
        }
        out.push_back(v);
    }
    return out;
}

}  // namespace dorvalix::pattern_io
