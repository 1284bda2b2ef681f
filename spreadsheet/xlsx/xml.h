#pragma once
// A small pull scanner for the XML of workbook parts. It checks what it needs
// to trust a part (tags nest and close, attributes are quoted, one root) and
// reports offsets so callers can splice the original bytes instead of
// re-serialising whole parts. Document type declarations are refused: no
// package part needs one, and entity expansion is a way to blow up memory.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

struct XmlAttr {
  std::string_view name;  // qualified name as written
  std::string_view raw;   // value as written, entities not decoded
};

enum class XmlEvent { Start, End, Text, Eof, Error };

class XmlScanner {
 public:
  explicit XmlScanner(std::string_view doc) : doc_(doc) {}

  // The next event. A self-closing element gives Start then End, both with the
  // same offsets. Text covers character data between tags (CDATA included,
  // with cdata() true). After Error or Eof, it keeps returning the same.
  XmlEvent Next();

  std::string_view name() const { return name_; }   // Start/End: qualified name
  std::string_view local() const;                   // name without its prefix
  const std::vector<XmlAttr>& attrs() const { return attrs_; }
  // Raw value of the attribute with this qualified name, or nullptr data.
  bool Attr(std::string_view qname, std::string_view* raw) const;
  bool self_closing() const { return self_closing_; }
  bool cdata() const { return cdata_; }
  size_t begin() const { return begin_; }  // offset of the event's first byte
  size_t end() const { return end_; }      // offset just after it
  std::string_view text() const { return doc_.substr(begin_, end_ - begin_); }
  size_t depth() const { return stack_.size(); }
  const std::string& error() const { return error_; }

 private:
  XmlEvent Fail(const std::string& why);
  std::string_view doc_;
  size_t pos_ = 0;
  std::vector<std::string_view> stack_;
  std::vector<XmlAttr> attrs_;
  std::string_view name_;
  size_t begin_ = 0, end_ = 0;
  bool self_closing_ = false;
  bool pending_end_ = false;
  bool cdata_ = false;
  bool seen_root_ = false;
  bool done_ = false;
  XmlEvent last_ = XmlEvent::Eof;
  std::string error_;
};

std::string_view LocalName(std::string_view qname);
// Appends raw character data with its entity and character references decoded.
// False when a reference is malformed.
bool AppendDecoded(std::string_view raw, std::string* out);
// Appends the characters of the scanner's current Text event: CDATA as it is,
// other text with its references decoded. False when a reference is malformed.
inline bool AppendCharacters(const XmlScanner& x, std::string* out) {
  if (!x.cdata()) return AppendDecoded(x.text(), out);
  out->append(x.text());
  return true;
}
// Appends text escaped for element content (attr false) or a quoted attribute.
void AppendEscaped(std::string_view text, bool attr, std::string* out);
// Replaces the spreadsheet's _xHHHH_ escapes by their characters.
std::string UnescapeOoxml(const std::string& s);
// Escapes what XML cannot carry (control characters) and literal "_xHHHH_"
// sequences the way spreadsheet files do.
std::string EscapeOoxml(const std::string& s);

}  // namespace xlsx
