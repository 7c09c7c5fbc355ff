// A temporary folder for one test, removed with everything in it.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vorlan::platform::testing {

class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/vorlan-platform-XXXXXX";
    char* made = mkdtemp(templ.data());
    if (made != nullptr) path_ = made;
  }
  ~TempFolder() {
    if (!path_.empty()) removeTree(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  static void removeTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
      if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* e = readdir(dir)) {
          std::string name = e->d_name;
          if (name != "." && name != "..") removeTree(path + "/" + name);
        }
        closedir(dir);
      }
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }

  std::string path_;
};

}  // namespace vorlan::platform::testing
