// A small, lenient markup reader: parses a whole document held in memory into
// an index of elements and answers navigation and extraction calls against a
// current position. The configuration loader reads its document with it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Zentrava {

// The document is taken as 8-bit, ASCII-compatible text (UTF-8 in practice);
// no conversion is done on loading and every string handed back is a byte
// string in the document's own encoding, with entity references decoded.
//
// Position model: `main` is the current element, `parent` the element whose
// children are being searched and `child` the position inside `main` that
// IntoElement() starts from. 0 means none; element 0 is the document itself.
//
// Parsing never recurses and never fails on malformed input: problems are
// recorded in GetResult() and reported through the result of SetDocument().
// An instance is not safe for use from two threads at once.
class MarkupDocument {
 public:
  // Document options; all off by default, which means names are compared
  // case-sensitively and whitespace in text is kept exactly as it stands.
  enum Flags : unsigned {
    kIgnoreCase = 0x0008,          // element and attribute names
    kTrimWhitespace = 0x2000,      // leading and trailing, in data and values
    kCollapseWhitespace = 0x4000,  // runs become one space; implies trimming
  };

  struct Position {
    int parent = 0;
    int main = 0;
    int child = 0;
  };

  MarkupDocument();
  MarkupDocument(const MarkupDocument&) = delete;
  MarkupDocument& operator=(const MarkupDocument&) = delete;

  // Replaces the document (null or empty text empties it), parses it and
  // moves to the top. Returns true when the document is well-formed; the
  // element index is built either way.
  bool SetDocument(const char* data, size_t size);
  bool SetDocument(const char* text);
  bool SetDocument(std::string bytes);

  // Searches the siblings under `parent` after `main` (from the first child
  // when `main` is 0) for the next element called `name`; without a name, the
  // next element of any name. At the top only the root element is a
  // candidate. On success the element becomes `main`; on failure nothing moves.
  bool FindElement(std::string_view name);
  bool FindElement();

  // Enters `main`: its children become the search scope, starting at `child`.
  // False when there is no main element.
  bool IntoElement();
  // Leaves `parent`: it becomes `main` again, so the next search continues
  // after it. False at the top.
  bool OutOfElement();
  // Starts the search under the same parent from its first child again.
  void ResetMainPosition();
  // Back to the top of the document: no parent, no main, no child.
  void ResetPosition();

  // Character data of `main`: decoded text and verbatim CDATA joined in order,
  // comments and processing instructions skipped; empty when `main` has
  // child elements or there is no main element.
  std::string GetData() const;
  // Name of `main`, or empty.
  std::string GetTagName() const;
  // Decoded value of `main`'s attribute `name`; empty when it has none.
  std::string GetAttribute(std::string_view name) const;
  // Attribute number `n` of `main` (from 0, document order), value decoded.
  // Enumerating 0, 1, 2... is linear in the tag's length. On false the
  // out-parameters are left as they were.
  bool GetNthAttribute(int n, std::string& name, std::string& value) const;

  bool IsWellFormed() const { return wellFormed_; }
  // Parse problems as small markup records, e.g. <lone_end_tag .../>.
  const std::string& GetResult() const { return resultLog_; }
  Position GetPosition() const { return {parent_, main_, child_}; }
  unsigned GetDocFlags() const { return flags_; }
  void SetDocFlags(unsigned flags) { flags_ = flags; }

  // Decodes the entity references of `text` (numeric ones and the HTML 4 and
  // XML named ones) into UTF-8; a reference that cannot be read is kept as it
  // stands, ampersand included. Appends to `out`.
  static void DecodeEntities(std::string_view text, std::string& out);

 private:
  struct Element {
    size_t tagStart = 0;    // offset of '<'
    size_t tagEnd = 0;      // just past the start tag
    size_t contentEnd = 0;  // start of the end tag, or where it was closed
    size_t elemEnd = 0;     // just past the end tag
    size_t nameLength = 0;  // the name starts at tagStart + 1
    int parent = 0;
    int firstChild = 0;
    int lastChild = 0;
    int next = 0;
    int prev = 0;
    unsigned flags = 0;
  };
  enum ElementFlags : unsigned { kEmptyTag = 1, kIllFormed = 2 };

  void Parse();
  bool FindNext(const std::string_view* name);
  int AddElement(int parent, size_t tagStart, size_t tagEnd, size_t nameLength);
  void AddResult(const char* problem, std::string_view tagName, size_t offset,
                 size_t offset2 = static_cast<size_t>(-1));
  std::string_view NameOf(int element) const;
  bool NameEquals(std::string_view a, std::string_view b) const;
  std::string ApplyWhitespaceFlags(std::string value) const;

  std::string documentText_;
  std::vector<Element> elements_;
  int parent_ = 0;
  int main_ = 0;
  int child_ = 0;
  bool wellFormed_ = false;
  unsigned flags_ = 0;
  std::string resultLog_;
  size_t resultCount_ = 0;

  // Where the last GetNthAttribute() stopped, so enumeration does not rescan.
  mutable int attrCacheElement_ = 0;
  mutable int attrCacheIndex_ = -1;
  mutable size_t attrCacheNext_ = 0;
};

}  // namespace Zentrava
