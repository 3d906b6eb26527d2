#pragma once

#include <map>
#include <string>
#include <vector>

namespace zarvex::hid {

// Gives each plug of a device path an instance of its own, for systems whose
// paths stay the same from plug to plug (Windows). A path counts as plugged
// anew only when it was seen gone, by a removal message or by a scan that
// missed it, since it was last listed: Windows may list an interface before
// its arrival message, and that message must not drop a link in use.
// Paths are compared without regard to case. Not thread-safe.
class TPlugCounter {
 public:
  void Removed(const std::string& devicePath);
  // One instance for each listed path, in the order given.
  std::vector<std::string> Listed(const std::vector<std::string>& devicePaths);

 private:
  struct Plug {
    unsigned count = 0;
    bool goneSinceListed = false;
  };
  std::map<std::string, Plug> plugs_;  // by lower-cased path
  std::vector<std::string> lastListed_;
};

std::string LowerCasePath(std::string path);

}  // namespace zarvex::hid
