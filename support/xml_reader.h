// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace chimex::test {

/// An XML element as the tests look at it: attributes and character data with the five
/// predefined entities decoded.
struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::vector<Element> children;

    double number(const std::string& attribute) const {
        return std::stod(attributes.at(attribute));
    }

    const Element* byId(std::string_view id) const {
        const auto found = attributes.find("id");
        if (found != attributes.end() && found->second == id) {
            return this;
        }
        for (const Element& child : children) {
            if (const Element* hit = child.byId(id)) {
                return hit;
            }
        }
        return nullptr;
    }

    /// Every element called `tag` at any depth below this one.
    std::vector<const Element*> all(std::string_view tag) const {
        std::vector<const Element*> found;
        for (const Element& child : children) {
            if (child.name == tag) {
                found.push_back(&child);
            }
            const auto deeper = child.all(tag);
            found.insert(found.end(), deeper.begin(), deeper.end());
        }
        return found;
    }
};

/// A small strict reader for the XML the program writes: a declaration, comments, elements,
/// attributes in double quotes, character data. Throws std::runtime_error where it is not
/// well-formed.
class XmlReader {
  public:
    static Element read(std::string_view text) {
        XmlReader reader(text);
        reader.skipMisc();
        Element root = reader.element();
        reader.skipMisc();
        if (reader.at_ != text.size()) {
            reader.fail("text after the root element");
        }
        return root;
    }

  private:
    explicit XmlReader(std::string_view text) : text_(text) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("XML: " + what + " at byte " + std::to_string(at_));
    }
    bool lookingAt(std::string_view s) const { return text_.substr(at_).starts_with(s); }
    void skipSpace() {
        while (at_ < text_.size() &&
               std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos) {
            ++at_;
        }
    }
    void skipPast(std::string_view end) {
        const auto found = text_.find(end, at_);
        if (found == std::string_view::npos) {
            fail("no " + std::string(end));
        }
        at_ = found + end.size();
    }
    void skipMisc() {
        for (skipSpace(); lookingAt("<?") || lookingAt("<!--"); skipSpace()) {
            skipPast(lookingAt("<?") ? "?>" : "-->");
        }
    }
    std::string name() {
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view(" \t\r\n/>=").find(text_[at_]) == std::string_view::npos) {
            ++at_;
        }
        if (at_ == start) {
            fail("a name expected");
        }
        return std::string(text_.substr(start, at_ - start));
    }
    std::string decoded(std::string_view raw) const {
        static const std::map<std::string, char> entities = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        std::string out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<') {
                throw std::runtime_error("XML: '<' in text");
            }
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const auto semicolon = raw.find(';', i);
            const auto entity =
                semicolon == std::string_view::npos
                    ? entities.end()
                    : entities.find(std::string(raw.substr(i + 1, semicolon - i - 1)));
            if (entity == entities.end()) {
                throw std::runtime_error("XML: unknown entity in " + std::string(raw));
            }
            out += entity->second;
            i = semicolon;
        }
        return out;
    }
    Element element() {
        if (!lookingAt("<")) {
            fail("'<' expected");
        }
        ++at_;
        Element e;
        e.name = name();
        for (skipSpace(); !lookingAt(">") && !lookingAt("/>"); skipSpace()) {
            const std::string key = name();
            if (!lookingAt("=\"")) {
                fail("=\" expected after " + key);
            }
            at_ += 2;
            const auto end = text_.find('"', at_);
            if (end == std::string_view::npos) {
                fail("unclosed attribute");
            }
            if (!e.attributes.emplace(key, decoded(text_.substr(at_, end - at_))).second) {
                fail("attribute " + key + " twice");
            }
            at_ = end + 1;
        }
        if (lookingAt("/>")) {
            at_ += 2;
            return e;
        }
        ++at_;
        content(e);
        return e;
    }
    void content(Element& e) {
        while (!lookingAt("</")) {
            if (at_ >= text_.size()) {
                fail("unclosed <" + e.name + ">");
            }
            if (lookingAt("<!--")) {
                skipPast("-->");
            } else if (lookingAt("<")) {
                e.children.push_back(element());
            } else {
                const auto end = text_.find('<', at_);
                e.text += decoded(text_.substr(at_, end - at_));
                at_ = end == std::string_view::npos ? text_.size() : end;
            }
        }
        at_ += 2;
        if (name() != e.name || !lookingAt(">")) {
            fail("</" + e.name + "> expected");
        }
        ++at_;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace chimex::test
