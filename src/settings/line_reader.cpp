#include "settings/line_reader.h"

namespace zarvex {

std::string LineReader::Next() {
  if (pos_ >= contents_.size()) return {};
  size_t end = contents_.find('\n', pos_);
  if (end == std::string_view::npos) end = contents_.size();
  std::string line;
  line.reserve(end - pos_);
  for (size_t i = pos_; i < end; ++i) {
    if (contents_[i] != '\r') line.push_back(contents_[i]);
  }
  pos_ = end + 1;
  return line;
}

}  // namespace zarvex
