// Key descriptions of create: POS:LEN:TYPE[:FLAGS], segments joined by '+'.
#include <cstring>

#include "btfile.h"

namespace vorlan::btfile {
namespace {

struct TypeName {
  const char* name;
  uint8_t type;
};

constexpr TypeName kTypes[] = {
    {"string", rm::kTypeString},   {"integer", rm::kTypeInteger},
    {"unsigned", rm::kTypeUnsigned}, {"zstring", rm::kTypeZString},
    {"lstring", rm::kTypeLString}, {"float", rm::kTypeFloat},
    {"autoinc", rm::kTypeAutoIncrement}, {"timestamp", rm::kTypeTimestamp},
};

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

}  // namespace

const char* typeName(uint8_t type) {
  for (const TypeName& t : kTypes)
    if (t.type == type) return t.name;
  switch (type) {
    case rm::kTypeDate: return "date";
    case rm::kTypeTime: return "time";
    case rm::kTypeDecimal: return "decimal";
    case rm::kTypeMoney: return "money";
    case rm::kTypeLogical: return "logical";
    case rm::kTypeNumeric: return "numeric";
    case rm::kTypeBFloat: return "bfloat";
    case rm::kTypeNote: return "note";
    case rm::kTypeLVar: return "lvar";
    case rm::kTypeBit: return "bit";
    case rm::kTypeNumericSts: return "numericsts";
    case rm::kTypeCurrency: return "currency";
    case rm::kTypeBlob: return "blob";
    case rm::kTypeWString: return "wstring";
    case rm::kTypeWZString: return "wzstring";
    case rm::kTypeGuid: return "guid";
    default: return "unknown";
  }
}

bool parseKeySpec(const std::string& spec, rm::KeyDefinition* key, std::string* error) {
  key->segments.clear();
  uint16_t keyFlags = 0;  // duplicates and modifiable hold for the whole key
  for (const std::string& segmentText : split(spec, '+')) {
    std::vector<std::string> parts = split(segmentText, ':');
    if (parts.size() < 3 || parts.size() > 4) {
      *error = "key segment \"" + segmentText + "\" is not POS:LEN:TYPE[:FLAGS]";
      return false;
    }
    uint64_t position = 0, length = 0;
    if (!parseNumber(parts[0], 1, 65535, &position)) {
      *error = "key segment \"" + segmentText + "\": position must be a number from 1";
      return false;
    }
    if (!parseNumber(parts[1], 1, 255, &length)) {
      *error = "key segment \"" + segmentText + "\": length must be a number from 1 to 255";
      return false;
    }
    rm::KeySegment segment;
    segment.position = static_cast<uint16_t>(position);
    segment.length = static_cast<uint16_t>(length);
    bool typeFound = false;
    for (const TypeName& t : kTypes)
      if (parts[2] == t.name) {
        segment.type = t.type;
        typeFound = true;
      }
    if (!typeFound) {
      *error = "key segment \"" + segmentText +
               "\": type must be string, integer, unsigned, zstring, lstring, float, autoinc or timestamp";
      return false;
    }
    segment.flags = rm::kKeyExtendedType;
    if (parts.size() == 4) {
      for (char c : parts[3]) {
        switch (c) {
          case 'd': keyFlags |= rm::kKeyDuplicates; break;
          case 'm': keyFlags |= rm::kKeyModifiable; break;
          case 'i': segment.flags |= rm::kKeyCaseInsensitive; break;
          case 'r': segment.flags |= rm::kKeyDescending; break;
          default:
            *error = "key segment \"" + segmentText + "\": flag '" + std::string(1, c) +
                     "' is not one of d (duplicates), m (modifiable), i (case-insensitive), r (descending)";
            return false;
        }
      }
    }
    key->segments.push_back(segment);
  }
  for (size_t i = 0; i < key->segments.size(); ++i) {
    key->segments[i].flags |= keyFlags;
    if (i + 1 < key->segments.size()) key->segments[i].flags |= rm::kKeySegmented;
  }
  return true;
}

}  // namespace vorlan::btfile
