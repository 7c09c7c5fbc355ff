// The argument scan of the subcommands and whole numbers.
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "btfile.h"

namespace vorlan::btfile {

bool Arguments::has(const std::string& name) const {
  return std::any_of(options.begin(), options.end(), [&](const auto& o) { return o.first == name; });
}

std::string Arguments::value(const std::string& name, const std::string& fallback) const {
  for (auto it = options.rbegin(); it != options.rend(); ++it)
    if (it->first == name) return it->second;
  return fallback;
}

std::vector<std::string> Arguments::values(const std::string& name) const {
  std::vector<std::string> found;
  for (const auto& [n, v] : options)
    if (n == name) found.push_back(v);
  return found;
}

bool scanArguments(int argc, char** argv, const std::vector<std::string>& withValue,
                   const std::vector<std::string>& switches, Arguments* out, std::string* error) {
  auto known = [](const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      out->positional.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2), value;
    bool inlineValue = false;
    if (size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    if (known(switches, name) && !inlineValue) {
      out->options.emplace_back(name, "");
    } else if (known(withValue, name)) {
      if (!inlineValue) {
        if (i + 1 >= argc) {
          *error = "option --" + name + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      out->options.emplace_back(name, value);
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

bool parseNumber(const std::string& text, uint64_t lo, uint64_t hi, uint64_t* out) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < lo || value > hi) return false;
  *out = value;
  return true;
}

}  // namespace vorlan::btfile
