#include "text/char_rules.h"

// Linux texts are UTF-8.
const TextRules& CurrentTextRules() {
  static const TextRules rules = MakeUtf8Rules();
  return rules;
}
