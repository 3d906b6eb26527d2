#include "protocol/link_context.h"

#include <algorithm>
#include <vector>

#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

void LinkContext::SendOutReport() {
  if (!panel) return;
  const int length = panel->OutputReportByteLength();
  if (length <= 0) return;
  out[0] = kReportId;
  const auto& bytes = out.Bytes();
  if (length <= OutReport::kSize) {
    panel->WriteReport(bytes.data(), length);
  } else {
    std::vector<uint8_t> padded(static_cast<size_t>(length), 0);
    std::copy(bytes.begin(), bytes.end(), padded.begin());
    panel->WriteReport(padded.data(), length);
  }
  if (afterSend) afterSend(length);
}

}  // namespace zarvex::protocol
