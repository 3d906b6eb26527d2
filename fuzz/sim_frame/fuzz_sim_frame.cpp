// The simulator's frame parser and the panel model behind it, on any output
// report: every answer the model gives is a well-formed input report.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "sim/panel_frame.h"
#include "sim/panel_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  zarvex::sim::PanelModel model((data[0] & 1) ? zarvex::sim::PanelKind::Second
                                              : zarvex::sim::PanelKind::First);
  // The rest is a run of reports, each a length byte and that many bytes.
  size_t at = 1;
  while (at < size) {
    const size_t wanted = data[at++] % 80;
    const size_t length = std::min(wanted, size - at);
    const zarvex::sim::Report report(data + at, data + at + length);
    at += length;
    const auto request = zarvex::sim::ParseHostReport(report);
    // The text is cut to the bytes the report really has.
    if (request && request->text &&
        (request->text->size() > request->valueLength || request->text->size() + 7 > report.size())) {
      std::abort();
    }
    for (const zarvex::sim::Report& answer : model.HandleOutputReport(report).reports) {
      if (answer.size() != zarvex::sim::kReportLength) std::abort();
      if (answer[0] != zarvex::sim::kReportId || answer[1] != zarvex::sim::kFrameMark ||
          answer[2] != zarvex::sim::kPanelToHost) {
        std::abort();
      }
    }
  }
  return 0;
}
