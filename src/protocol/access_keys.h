#pragma once

#include <string>

#include "protocol/key_list.h"
#include "protocol/link_context.h"

namespace zarvex::protocol {

// The key reader's store of the first model: positions 1..1000. Every
// command is one report sent at once; none of them runs on second-model
// firmware (500 and above).
class AccessKeys {
 public:
  static constexpr int kFirstPosition = 1;
  static constexpr int kLastPosition = 1000;

  explicit AccessKeys(LinkContext& link) : link_(link) {}

  // Range boxes are read with DigitsToInt; a bound outside 1..1000 sends
  // nothing, a max below min becomes min.
  void ButtonWriteKeysClick(const std::string& minText, const std::string& maxText);
  void ButtonDelKeysClick(const std::string& minText, const std::string& maxText);
  void ButtonDelAllKeysClick();
  void ButtonReadKeysClick();

  void ResetKeyGrid();
  void ClearKeys() { keys_.Clear(); }
  void AddKeyRow();      // key record in InReport
  void FinishKeyList();

  const KeyList& Keys() const { return keys_; }

 private:
  bool FirstModel() const;
  void SendRange(uint8_t command, const std::string& minText, const std::string& maxText);

  LinkContext& link_;
  KeyList keys_;
};

}  // namespace zarvex::protocol
