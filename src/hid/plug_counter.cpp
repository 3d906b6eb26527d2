#include "hid/plug_counter.h"

#include <algorithm>
#include <cctype>

namespace zarvex::hid {

std::string LowerCasePath(std::string path) {
  std::transform(path.begin(), path.end(), path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return path;
}

void TPlugCounter::Removed(const std::string& devicePath) {
  plugs_[LowerCasePath(devicePath)].goneSinceListed = true;
}

std::vector<std::string> TPlugCounter::Listed(const std::vector<std::string>& devicePaths) {
  std::vector<std::string> listed;
  listed.reserve(devicePaths.size());
  for (const std::string& path : devicePaths) listed.push_back(LowerCasePath(path));
  for (const std::string& was : lastListed_) {
    if (std::find(listed.begin(), listed.end(), was) == listed.end()) plugs_[was].goneSinceListed = true;
  }
  std::vector<std::string> instances;
  instances.reserve(listed.size());
  for (const std::string& key : listed) {
    Plug& plug = plugs_[key];
    if (plug.goneSinceListed) {
      ++plug.count;
      plug.goneSinceListed = false;
    }
    instances.push_back(key + "#" + std::to_string(plug.count));
  }
  lastListed_ = std::move(listed);
  return instances;
}

}  // namespace zarvex::hid
