#include "admin/deployment_check.h"
#include "admin/matching_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vorlan {
namespace {

TEST(TrimTrailingSpaces, RemovesTrailingBlanksButNeverTheFirstCharacter) {
  struct Case {
    const char* text;
    const char* trimmed;
  } cases[] = {
      {"ORDERS.MKD   ", "ORDERS.MKD"}, {"A B  ", "A B"}, {"   ", " "}, {" ", " "},
      {"", ""},                         {" X ", " X"},  {"X", "X"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    char text[32];
    strcpy(text, c.text);
    trimTrailingSpaces(text);
    EXPECT_STREQ(text, c.trimmed);
  }
}

// A FILE.DDF record: 22 bytes before the location, then the location field
// as given (blank-padded to 64 when `pad`), then more bytes after it.
std::string record(const std::string& location, bool pad = true, size_t length = 97) {
  std::string r(22, 'x');
  r += location;
  if (pad && location.size() < 64) r.append(64 - location.size(), ' ');
  r.resize(length, 'y');
  return r;
}

TEST(DictionaryLocation, TakesTheTrimmedFieldWithOneParentPrefixDropped) {
  struct Case {
    std::string record;
    std::string entry;
  } cases[] = {
      {record("..\\ORDERS.MKD"), "ORDERS.MKD"},
      {record("DATA\\ORDERS.MKD"), "DATA\\ORDERS.MKD"},
      {record("..\\..\\X.MKD"), "..\\X.MKD"},
      {record("../X.MKD"), "../X.MKD"},  // only the backslash form is a prefix
      {record(""), " "},
      {record(std::string("A.MKD\0JUNK", 10), false), "A.MKD"},
      {record(std::string(64, 'L')), std::string(64, 'L')},
      // Bytes the record does not have end the field: nothing of an earlier,
      // longer record can show through.
      {record("SHORT.MKD", false, 31), "SHORT.MKD"},
      {std::string(10, 'x'), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(dictionaryLocation(reinterpret_cast<const unsigned char*>(c.record.data()),
                                 c.record.size()),
              c.entry);
  }
}

TEST(PatternFolder, IsThePartUpToTheLastSeparator) {
  struct Case {
    const char* spec;
    const char* folder;
  } cases[] = {
      {"*.MKD", ""},
      {"DATA\\*.MKD", "DATA\\"},
      {"/srv/data/*.mkd", "/srv/data/"},
      {"C:\\DX\\DATA/A*.*", "C:\\DX\\DATA/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    EXPECT_EQ(patternFolder(c.spec), c.folder);
  }
}

}  // namespace
}  // namespace vorlan
