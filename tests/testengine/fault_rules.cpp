#include "fault_rules.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace vorlan::testengine {
namespace {

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\n' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\n' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    parts.push_back(trim(s.substr(start, at == std::string::npos ? std::string::npos : at - start)));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// A whole decimal or 0x-hexadecimal number, optionally signed, in [lo, hi].
bool readNumber(const std::string& text, int64_t lo, int64_t hi, int64_t* out) {
  if (text.empty()) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  // Decimal (leading zeros allowed: 14.09), or hexadecimal after 0x.
  size_t digits = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  int base = text.compare(digits, 2, "0x") == 0 || text.compare(digits, 2, "0X") == 0 ? 16 : 10;
  errno = 0;
  long long value = std::strtoll(begin, &end, base);
  if (errno != 0 || end == begin || *end != '\0' || value < lo || value > hi) return false;
  *out = value;
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// OFFSET:HEX
bool readPatch(const std::string& text, BytePatch* out, std::string* why) {
  size_t colon = text.find(':');
  int64_t offset = 0;
  if (colon == std::string::npos || !readNumber(text.substr(0, colon), 0, 0xFFFFFFFF, &offset)) {
    *why = "a patch is OFFSET:HEX";
    return false;
  }
  std::string hex = text.substr(colon + 1);
  if (hex.empty() || hex.size() % 2 != 0) {
    *why = "the patch bytes need an even, nonzero number of hexadecimal digits";
    return false;
  }
  out->offset = static_cast<uint32_t>(offset);
  out->bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = hexDigit(hex[i]), lo = hexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      *why = "the patch bytes are not hexadecimal";
      return false;
    }
    out->bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

// MAJOR.MINOR[LETTER]
bool readVersionEntry(const std::string& text, VersionEntry* out) {
  size_t dot = text.find('.');
  if (dot == std::string::npos) return false;
  std::string minorText = text.substr(dot + 1);
  std::optional<char> letter;
  if (!minorText.empty() && !(minorText.back() >= '0' && minorText.back() <= '9')) {
    letter = minorText.back();
    minorText.pop_back();
  }
  int64_t major = 0, minor = 0;
  if (!readNumber(text.substr(0, dot), 0, 0xFFFF, &major) || !readNumber(minorText, 0, 0xFFFF, &minor))
    return false;
  out->major = static_cast<uint16_t>(major);
  out->minor = static_cast<uint16_t>(minor);
  out->letter = letter;
  return true;
}

bool readFaultRule(const std::string& text, FaultRule* rule, std::string* why) {
  rule->text = text;
  bool haveOperation = false, haveNth = false, haveFrom = false;
  for (const std::string& item : split(text, ',')) {
    if (item.empty()) continue;
    size_t eq = item.find('=');
    std::string name = trim(item.substr(0, eq));
    std::string value = eq == std::string::npos ? std::string() : trim(item.substr(eq + 1));
    if (eq == std::string::npos) {
      if (name == "skip") {
        rule->skip = true;
        continue;
      }
      *why = "unknown word \"" + name + "\"";
      return false;
    }
    int64_t n = 0;
    if (name == "entry") {
      if (value == "any") rule->entry = EntryKind::Any;
      else if (value == "standard") rule->entry = EntryKind::Standard;
      else if (value == "wide") rule->entry = EntryKind::Wide;
      else {
        *why = "entry is standard, wide or any";
        return false;
      }
    } else if (name == "op") {
      if (!readNumber(value, 0, 0xFFFFFFFF, &n)) {
        *why = "op needs an operation number";
        return false;
      }
      rule->operation = static_cast<uint32_t>(n);
      haveOperation = true;
    } else if (name == "key") {
      if (!readNumber(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &n)) {
        *why = "key needs a key number";
        return false;
      }
      rule->keyNumber = static_cast<int32_t>(n);
    } else if (name == "nth" || name == "from") {
      if (!readNumber(value, 1, std::numeric_limits<int64_t>::max(), &n)) {
        *why = name + " needs a count of at least 1";
        return false;
      }
      if (name == "nth") {
        rule->nth = static_cast<uint64_t>(n);
        haveNth = true;
      } else {
        rule->from = static_cast<uint64_t>(n);
        haveFrom = true;
      }
    } else if (name == "status") {
      if (!readNumber(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &n)) {
        *why = "status needs a number";
        return false;
      }
      rule->status = static_cast<int32_t>(n);
    } else if (name == "length") {
      if (!readNumber(value, 0, 0xFFFFFFFF, &n)) {
        *why = "length needs a data length";
        return false;
      }
      rule->dataLength = static_cast<uint32_t>(n);
    } else if (name == "data" || name == "keybuf") {
      BytePatch patch;
      if (!readPatch(value, &patch, why)) return false;
      (name == "data" ? rule->dataPatches : rule->keyPatches).push_back(std::move(patch));
    } else {
      *why = "unknown setting \"" + name + "\"";
      return false;
    }
  }
  if (!haveOperation) {
    *why = "a rule needs op=N";
    return false;
  }
  if (haveNth && haveFrom) {
    *why = "nth and from exclude each other";
    return false;
  }
  if (!rule->skip && !rule->status && !rule->dataLength && rule->dataPatches.empty() &&
      rule->keyPatches.empty()) {
    *why = "the rule changes nothing (give skip, status, length, data or keybuf)";
    return false;
  }
  return true;
}

}  // namespace

bool parseRules(const std::string& text, RuleSet* out, std::string* error) {
  RuleSet rules;
  int number = 0;
  for (const std::string& ruleText : split(text, ';')) {
    ++number;
    if (ruleText.empty()) continue;
    std::string why;
    if (ruleText == "trace") {
      rules.trace = true;
      continue;
    }
    if (ruleText.rfind("version", 0) == 0 && ruleText.find("op=") == std::string::npos) {
      size_t eq = ruleText.find('=');
      if (eq == std::string::npos || trim(ruleText.substr(0, eq)) != "version") {
        why = "version=MAJOR.MINOR[,MAJOR.MINOR[,MAJOR.MINOR]]";
      } else if (!rules.version.empty()) {
        why = "only one version rule";
      } else {
        std::vector<std::string> entries = split(ruleText.substr(eq + 1), ',');
        if (entries.size() > 3) why = "at most three version entries";
        for (const std::string& entry : entries) {
          VersionEntry v;
          if (!why.empty()) break;
          if (!readVersionEntry(entry, &v)) why = "bad version entry \"" + entry + "\" (MAJOR.MINOR[LETTER])";
          else rules.version.push_back(v);
        }
      }
    } else {
      FaultRule rule;
      if (readFaultRule(ruleText, &rule, &why)) rules.faults.push_back(std::move(rule));
    }
    if (!why.empty()) {
      *error = "rule " + std::to_string(number) + " \"" + ruleText + "\": " + why;
      return false;
    }
  }
  *out = std::move(rules);
  return true;
}

}  // namespace vorlan::testengine
