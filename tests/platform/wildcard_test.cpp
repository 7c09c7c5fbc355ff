#include "platform/wildcard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/temp_folder.h"
#include "platform/wildcard_match.h"

namespace vorlan::platform {
namespace {

using testing::TempFolder;

TEST(WildcardMatch, WindowsRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.MKD", "orders.mkd", true},
      {"*.MKD", "a.b.mkd", true},
      {"*.mkd", "mkd", false},
      {"*.mkd", "orders.mkd.bak", false},
      {"*.*", "README", true},
      {"*.*", "a.b.c", true},
      {"*.*", "..", true},
      {"*", ".", true},
      {"ORD*.M?D", "orders2.mkd", true},
      {"ord*", "ORDERS.MKD", true},
      {"*s.mkd", "ORDERS.MKD", true},
      {"orders.mkd", "Orders.Mkd", true},
      {"orders.mkd", "orders.mkdx", false},
      {"orders.mkd", "xorders.mkd", false},
      {"README.*", "README", true},     // ".*" also matches no extension
      {"README.???", "README", true},
      {"*.", "README", true},           // "*." finds names without extension
      {"*.", "a.b", false},
      {"FILE????.MKD", "FILE1.MKD", true},  // '?' before a dot may match nothing
      {"FILE????.MKD", "FILE12345.MKD", false},
      {"?.MKD", "AB.MKD", false},
      {"a?c", "abc", true},
      {"a?c", "a.c", false},
      {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbY", false},
      {"\xc3\x89*", "\xc3\xa9t\xc3\xa9", false},  // only ASCII letters fold
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wildcardMatches(c.pattern, c.name), c.matches)
        << "pattern " << c.pattern << " name " << c.name;
  }
}

TEST(WildcardMatch, BoundedInput) {
  // Many stars against a long name that almost matches: finishes (no
  // backtracking blow-up) and says no.
  std::string stars;
  for (int i = 0; i < 60; ++i) stars += "*a";
  stars += "*b";
  EXPECT_FALSE(wildcardMatches(stars.c_str(), std::string(250, 'a').c_str()));
  std::string longName(256, 'x');
  EXPECT_FALSE(wildcardMatches("*", longName.c_str()));
  EXPECT_FALSE(wildcardMatches(longName.c_str(), "x"));
  EXPECT_FALSE(wildcardMatches(nullptr, "x"));
  EXPECT_TRUE(hasWildcards("a?"));
  EXPECT_FALSE(hasWildcards("a.b"));
}

struct Found {
  std::string name;
  bool directory;
  bool operator<(const Found& o) const { return name < o.name; }
  bool operator==(const Found& o) const { return name == o.name && directory == o.directory; }
};

std::vector<Found> findAll(const std::string& pattern) {
  std::vector<Found> found;
  WildcardSearch search;
  FoundEntry entry;
  for (bool more = search.first(pattern.c_str(), &entry); more; more = search.next(&entry))
    found.push_back({entry.name, (entry.attributes & kAttributeDirectory) != 0});
  search.close();
  std::sort(found.begin(), found.end());
  return found;
}

std::string backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

class WildcardSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.ok());
    for (const char* name : {"ORDERS.MKD", "orders2.mkd", "Custom.Mkd", "a.b.mkd", "notes.txt", "README"}) {
      int fd = open(tmp.file(name).c_str(), O_CREAT | O_WRONLY, 0644);
      ASSERT_GE(fd, 0);
      close(fd);
    }
    ASSERT_EQ(mkdir(tmp.file("SUB.MKD").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(tmp.file("sub").c_str(), 0755), 0);
    int fd = open(tmp.file("sub/inner.mkd").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    // Neither files nor folders: never found.
    ASSERT_EQ(mkfifo(tmp.file("pipe.mkd").c_str(), 0644), 0);
    ASSERT_EQ(symlink("nowhere", tmp.file("dead.mkd").c_str()), 0);
  }
  TempFolder tmp;
};

TEST_F(WildcardSearchTest, PatternsAndSeparators) {
  const std::string dir = tmp.path();
  const std::vector<Found> mkd = {{"Custom.Mkd", false}, {"ORDERS.MKD", false}, {"SUB.MKD", true},
                                  {"a.b.mkd", false},    {"orders2.mkd", false}};
  std::vector<Found> everything = {{".", true}, {"..", true}, {"README", false}, {"notes.txt", false},
                                   {"sub", true}};
  everything.insert(everything.end(), mkd.begin(), mkd.end());
  std::sort(everything.begin(), everything.end());

  struct Case {
    std::string pattern;
    std::vector<Found> expected;
  };
  const Case cases[] = {
      {dir + "/*.MKD", mkd},
      {backslashed(dir) + "\\*.mkd", mkd},
      {dir + "/*.*", everything},
      {dir + "/*", everything},
      {dir + "\\ORD*.M?D", {{"ORDERS.MKD", false}, {"orders2.mkd", false}}},
      {dir + "/orders.mkd", {{"ORDERS.MKD", false}}},  // one name, any case
      {dir + "/notes.txt", {{"notes.txt", false}}},
      {dir + "/sub", {{"sub", true}}},
      {dir + "/README.*", {{"README", false}}},
      {dir + "\\sub\\*.MKD", {{"inner.mkd", false}}},
      {dir + "/*.xyz", {}},
      {dir + "/missing.mkd", {}},
      {dir + "/nofolder/*.*", {}},
      {dir + "/", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(findAll(c.pattern), c.expected) << c.pattern;
  }
}

TEST_F(WildcardSearchTest, CurrentFolderWithoutDirectoryPart) {
  char saved[PATH_MAX];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(tmp.path().c_str()), 0);
  std::vector<Found> txt = findAll("*.TXT");
  std::vector<Found> sub = findAll("SUB\\*.*");
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(txt, (std::vector<Found>{{"notes.txt", false}}));
  // The folder part is taken as written: there is "sub", but no "SUB".
  EXPECT_TRUE(sub.empty());
}

TEST_F(WildcardSearchTest, RestartAndNextAfterEnd) {
  WildcardSearch search;
  FoundEntry entry;
  const std::string pattern = tmp.path() + "/notes.*";
  ASSERT_TRUE(search.first(pattern.c_str(), &entry));
  EXPECT_STREQ(entry.name, "notes.txt");
  EXPECT_FALSE(search.next(&entry));
  EXPECT_FALSE(search.next(&entry));
  // first() again starts over without a close in between.
  ASSERT_TRUE(search.first(pattern.c_str(), &entry));
  EXPECT_STREQ(entry.name, "notes.txt");
  search.close();
  EXPECT_FALSE(search.next(&entry));
}

}  // namespace
}  // namespace vorlan::platform
