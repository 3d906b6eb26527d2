#include "protocol/access_keys.h"

#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

namespace {
bool InKeyRange(int32_t position) {
  return position >= AccessKeys::kFirstPosition && position <= AccessKeys::kLastPosition;
}
}  // namespace

bool AccessKeys::FirstModel() const { return link_.cfg.FirmwareVersion < kSecondModelVersion; }

void AccessKeys::SendRange(uint8_t command, const std::string& minText, const std::string& maxText) {
  if (!FirstModel()) return;
  const int32_t min = DigitsToInt(minText);
  int32_t max = DigitsToInt(maxText);
  if (!InKeyRange(min) || !InKeyRange(max)) return;
  if (max < min) max = min;
  link_.out.PutHeader(kClassWrite, command);
  link_.out.PutText(std::to_string(min) + "," + std::to_string(max));
  link_.SendOutReport();
}

void AccessKeys::ButtonWriteKeysClick(const std::string& minText, const std::string& maxText) {
  SendRange(cmdCodeWrite, minText, maxText);
}

void AccessKeys::ButtonDelKeysClick(const std::string& minText, const std::string& maxText) {
  SendRange(cmdCodeDelete, minText, maxText);
}

void AccessKeys::ButtonDelAllKeysClick() {
  SendRange(cmdCodeDelete, std::to_string(kFirstPosition), std::to_string(kLastPosition));
}

void AccessKeys::ButtonReadKeysClick() {
  if (!FirstModel()) return;
  ResetKeyGrid();
  link_.view.SetProgressSmooth(false);
  OutReport& out = link_.out;
  out.PutHeader(kClassWrite, cmdKeyList);
  out[5] = kTypeNumber;
  out[6] = 4;
  out[7] = 0;  // bytes 8..10 keep what the previous message left
  link_.SendOutReport();
}

void AccessKeys::ResetKeyGrid() {
  keys_.Clear();
  link_.view.ResetKeyGrid();
}

void AccessKeys::AddKeyRow() {
  const InReport& in = link_.in;
  const int position = in[5] * 256 + in[6];
  KeyBytes key;
  for (size_t k = 0; k < key.size(); ++k) key[k] = in[7 + static_cast<int>(k)];
  const KeyRow& row = keys_.Add(position, key);
  PanelView& view = link_.view;
  view.SetProgressPosition(
      static_cast<int>(static_cast<int64_t>(position) * view.ProgressMaximum() / kLastPosition));
  view.SetKeyRow(keys_.KeyCount(), row.position, row.key, row.duplicate);
  view.SetProgressSmooth(false);
}

void AccessKeys::FinishKeyList() {
  PanelView& view = link_.view;
  view.SetProgressSmooth(true);
  view.SetProgressPosition(view.ProgressMaximum());
}

}  // namespace zarvex::protocol
