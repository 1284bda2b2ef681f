#pragma once
// How the tool's text encoding splits bytes into characters, and which of its
// characters are full-width forms. The helpers in text.h use the platform's
// rules; the functions here take them explicitly so that every encoding can
// be exercised on any build.

#include <string>
#include <utility>
#include <vector>

struct TextRules {
  enum class Stepping { LeadByteTable, Utf8 };
  Stepping stepping = Stepping::Utf8;
  // LeadByteTable: lead[b] says byte b opens a two-byte character.
  bool lead[256] = {};
  // The full-width blank in this encoding; empty when the encoding has none.
  std::string wide_blank;
  // Full-width characters in this encoding and the ASCII byte each folds to.
  std::vector<std::pair<std::string, char>> folds;

  // Bytes of the character that starts at byte pos of t (at least 1). It may
  // run past the end of t: a cut-off character.
  size_t CharLength(const std::string& t, size_t pos) const;
};

// The rules of the running system: the ANSI code page's lead-byte table and
// full-width forms on Windows, UTF-8 elsewhere. Computed once.
const TextRules& CurrentTextRules();

// Rules for a code page described by its lead-byte predicate and a converter
// from a Unicode code point to the code page's bytes (empty when it has no
// such character). Used by the Windows rules and by tests.
TextRules MakeLeadByteRules(bool (*is_lead)(unsigned char), std::string (*from_code_point)(unsigned));
// UTF-8 rules.
TextRules MakeUtf8Rules();

// The full-width code points the tool folds, with their ASCII meaning.
const std::vector<std::pair<unsigned, char>>& FullWidthForms();

int FindWith(const TextRules& rules, const std::string& t, const std::string& sought, int start);
std::string TrimBothEndsWith(const TextRules& rules, const std::string& t);
double TextToRealWith(const TextRules& rules, const std::string& t);
