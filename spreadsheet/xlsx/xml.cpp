#include "spreadsheet/xlsx/xml.h"

#include <cstring>

#include "text/utf8.h"

namespace xlsx {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) {
  return !(IsSpace(c) || c == '>' || c == '/' || c == '=' || c == '<' || c == '"' || c == '\'' ||
           c == '\0');
}

int HexVal(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string_view LocalName(std::string_view q) {
  size_t colon = q.find(':');
  return colon == std::string_view::npos ? q : q.substr(colon + 1);
}

std::string_view XmlScanner::local() const { return LocalName(name_); }

bool XmlScanner::Attr(std::string_view qname, std::string_view* raw) const {
  for (const XmlAttr& a : attrs_) {
    if (a.name == qname) {
      *raw = a.raw;
      return true;
    }
  }
  return false;
}

XmlEvent XmlScanner::Fail(const std::string& why) {
  error_ = why;
  done_ = true;
  last_ = XmlEvent::Error;
  return last_;
}

XmlEvent XmlScanner::Next() {
  if (done_) return last_;
  if (pending_end_) {
    pending_end_ = false;
    stack_.pop_back();
    return last_ = XmlEvent::End;
  }
  const size_t n = doc_.size();
  const char* d = doc_.data();
  if (pos_ == 0 && doc_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;  // byte order mark
  for (;;) {
    if (pos_ >= n) {
      if (!stack_.empty()) return Fail("the XML ends inside element <" + std::string(stack_.back()) + ">");
      if (!seen_root_) return Fail("the XML has no root element");
      done_ = true;
      return last_ = XmlEvent::Eof;
    }
    if (d[pos_] != '<') {
      const void* lt = std::memchr(d + pos_, '<', n - pos_);
      size_t stop = lt ? static_cast<size_t>(static_cast<const char*>(lt) - d) : n;
      if (stack_.empty()) {
        for (size_t i = pos_; i < stop; ++i)
          if (!IsSpace(d[i]))
            return Fail("the XML has text outside its root element");
        pos_ = stop;
        continue;
      }
      begin_ = pos_;
      end_ = stop;
      pos_ = stop;
      cdata_ = false;
      return last_ = XmlEvent::Text;
    }
    // A markup construct.
    if (pos_ + 1 >= n) return Fail("the XML ends inside a tag");
    char c = d[pos_ + 1];
    if (c == '?') {
      size_t e = doc_.find("?>", pos_ + 2);
      if (e == std::string_view::npos) return Fail("unterminated processing instruction");
      pos_ = e + 2;
      continue;
    }
    if (c == '!') {
      if (doc_.compare(pos_, 4, "<!--") == 0) {
        size_t e = doc_.find("-->", pos_ + 4);
        if (e == std::string_view::npos) return Fail("unterminated comment");
        pos_ = e + 3;
        continue;
      }
      if (doc_.compare(pos_, 9, "<![CDATA[") == 0) {
        size_t e = doc_.find("]]>", pos_ + 9);
        if (e == std::string_view::npos) return Fail("unterminated CDATA section");
        if (stack_.empty()) return Fail("CDATA outside the root element");
        begin_ = pos_ + 9;
        end_ = e;
        pos_ = e + 3;
        cdata_ = true;
        return last_ = XmlEvent::Text;
      }
      return Fail("document type declarations are not accepted in workbook parts");
    }
    begin_ = pos_;
    if (c == '/') {
      size_t i = pos_ + 2;
      size_t s = i;
      while (i < n && IsNameChar(d[i])) ++i;
      name_ = doc_.substr(s, i - s);
      while (i < n && IsSpace(d[i])) ++i;
      if (i >= n || d[i] != '>') return Fail("malformed end tag");
      if (stack_.empty() || stack_.back() != name_)
        return Fail("end tag </" + std::string(name_) + "> does not match its start tag");
      stack_.pop_back();
      pos_ = i + 1;
      end_ = pos_;
      return last_ = XmlEvent::End;
    }
    // Start tag.
    size_t i = pos_ + 1;
    size_t s = i;
    while (i < n && IsNameChar(d[i])) ++i;
    if (i == s) return Fail("malformed start tag");
    name_ = doc_.substr(s, i - s);
    attrs_.clear();
    for (;;) {
      while (i < n && IsSpace(d[i])) ++i;
      if (i >= n) return Fail("the XML ends inside a tag");
      if (d[i] == '>') {
        self_closing_ = false;
        ++i;
        break;
      }
      if (d[i] == '/') {
        if (i + 1 >= n || d[i + 1] != '>') return Fail("malformed start tag");
        self_closing_ = true;
        i += 2;
        break;
      }
      size_t as = i;
      while (i < n && IsNameChar(d[i])) ++i;
      if (i == as) return Fail("malformed attribute");
      std::string_view an = doc_.substr(as, i - as);
      while (i < n && IsSpace(d[i])) ++i;
      if (i >= n || d[i] != '=') return Fail("attribute without a value");
      ++i;
      while (i < n && IsSpace(d[i])) ++i;
      if (i >= n || (d[i] != '"' && d[i] != '\'')) return Fail("attribute value not quoted");
      char q = d[i++];
      const void* qe = std::memchr(d + i, q, n - i);
      if (!qe) return Fail("unterminated attribute value");
      size_t ve = static_cast<size_t>(static_cast<const char*>(qe) - d);
      if (std::memchr(d + i, '<', ve - i)) return Fail("'<' inside an attribute value");
      attrs_.push_back(XmlAttr{an, doc_.substr(i, ve - i)});
      i = ve + 1;
      if (i < n && !IsSpace(d[i]) && d[i] != '>' && d[i] != '/') return Fail("malformed start tag");
    }
    if (stack_.empty()) {
      if (seen_root_) return Fail("the XML has more than one root element");
      seen_root_ = true;
    }
    if (stack_.size() > 10000) return Fail("the XML nests too deeply");
    stack_.push_back(name_);
    pos_ = i;
    end_ = i;
    pending_end_ = self_closing_;
    return last_ = XmlEvent::Start;
  }
}

bool AppendDecoded(std::string_view raw, std::string* out) {
  size_t i = 0;
  const size_t n = raw.size();
  while (i < n) {
    size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      out->append(raw.data() + i, n - i);
      break;
    }
    out->append(raw.data() + i, amp - i);
    size_t semi = raw.find(';', amp);
    if (semi == std::string_view::npos || semi - amp > 12) return false;
    std::string_view ent = raw.substr(amp + 1, semi - amp - 1);
    if (ent == "lt") out->push_back('<');
    else if (ent == "gt") out->push_back('>');
    else if (ent == "amp") out->push_back('&');
    else if (ent == "quot") out->push_back('"');
    else if (ent == "apos") out->push_back('\'');
    else if (ent.size() >= 2 && ent[0] == '#') {
      unsigned long cp = 0;
      bool hex = ent[1] == 'x';
      size_t k = hex ? 2 : 1;
      if (k >= ent.size()) return false;
      for (; k < ent.size(); ++k) {
        int v = hex ? HexVal(ent[k]) : (ent[k] >= '0' && ent[k] <= '9' ? ent[k] - '0' : -1);
        if (v < 0) return false;
        cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(v);
        if (cp > 0x10FFFF) return false;
      }
      if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
      AppendUtf8(out, cp);
    } else {
      return false;
    }
    i = semi + 1;
  }
  return true;
}

void AppendEscaped(std::string_view text, bool attr, std::string* out) {
  for (char c : text) {
    switch (c) {
      case '<': out->append("&lt;"); break;
      case '>': out->append("&gt;"); break;
      case '&': out->append("&amp;"); break;
      case '"':
        if (attr) out->append("&quot;");
        else out->push_back(c);
        break;
      case '\n':
        if (attr) out->append("&#10;");
        else out->push_back(c);
        break;
      case '\r': out->append("&#13;"); break;
      case '\t':
        if (attr) out->append("&#9;");
        else out->push_back(c);
        break;
      default: out->push_back(c);
    }
  }
}

namespace {
bool IsOoxmlEscape(const std::string& s, size_t i) {
  return i + 7 <= s.size() && s[i] == '_' && s[i + 1] == 'x' && HexVal(s[i + 2]) >= 0 &&
         HexVal(s[i + 3]) >= 0 && HexVal(s[i + 4]) >= 0 && HexVal(s[i + 5]) >= 0 && s[i + 6] == '_';
}
}  // namespace

std::string UnescapeOoxml(const std::string& s) {
  if (s.find("_x") == std::string::npos) return s;
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (IsOoxmlEscape(s, i)) {
      unsigned long cp = 0;
      for (size_t k = 2; k < 6; ++k) cp = cp * 16 + static_cast<unsigned long>(HexVal(s[i + k]));
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
      AppendUtf8(&out, cp);
      i += 7;
    } else {
      out.push_back(s[i++]);
    }
  }
  return out;
}

std::string EscapeOoxml(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (IsOoxmlEscape(s, i)) {
      out.append("_x005F_");
      continue;
    }
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      out.append("_x00");
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
      out.push_back('_');
      continue;
    }
    out.push_back(static_cast<char>(c));
  }
  return out;
}

}  // namespace xlsx
