#pragma once
// The panel's side of the report protocol, for both models, without any HID:
// one output report in, the input reports it answers with out.
// Not thread-safe; the owner serialises the calls.

#include <deque>
#include <optional>
#include <set>
#include <vector>

#include "answer_faults.h"
#include "key_store.h"
#include "panel_configuration.h"
#include "panel_frame.h"
#include "wireless_table.h"

namespace zarvex::sim {

enum class PanelKind {
  First,   // reader keys; firmware below 500
  Second,  // wireless key fobs and sensors; firmware 500 and above
};

inline constexpr int kFirstModelVersion = 430;
inline constexpr int kSecondModelVersion = 520;

int DefaultFirmwareVersion(PanelKind kind);

struct PanelAnswer {
  std::vector<Report> reports;
  bool unplug = false;  // the panel has gone; the owner should unplug it
};

class PanelModel {
 public:
  explicit PanelModel(PanelKind kind);
  PanelModel(PanelKind kind, int firmwareVersion);

  // One output report of the host, report ID byte first. Requests the panel
  // does not know, and damaged reports, get no answer.
  PanelAnswer HandleOutputReport(const Report& report);

  // --- the outside world ---
  // A key held to the reader while a range is learning: stored at the next
  // free position, answered with 203. Nothing happens when no range learns.
  std::vector<Report> PresentKey(const KeyBytes& key);
  // The wireless device waiting to pair answers: paired, answered with 203.
  std::vector<Report> AnswerPairing();

  // --- faults; each applies to one request that has an answer, in the order
  // set (calling DropNextAnswer twice drops two answers) ---
  void DropNextAnswer();
  void HoldNextAnswer();  // kept until ReleaseHeldAnswers
  std::vector<Report> ReleaseHeldAnswers();
  // A parameter query is answered with the value of `parameter`; any other
  // answer carries `parameter` in byte 4 (a write is still stored as asked).
  void AnswerOtherParameter(int parameter);
  void ShortenNextAnswer(std::size_t length);
  void LengthenNextAnswer(std::size_t length);
  void MalformNextAnswer(Malformation malformation);
  // The n-th output report from now (n >= 1) is not answered: the panel is
  // pulled out instead, and ignores everything until Replug.
  void UnplugAfterRequests(int n);
  // From the n-th output report on (n >= 1) the panel stays plugged in but
  // answers nothing, until Replug.
  void FallSilentAfterRequests(int n);
  // A worn memory cell: writes of this parameter are acknowledged, but the
  // panel keeps the value it had. Stays until the panel is plugged anew.
  void KeepParameter(int parameter) { stuckParameters_.insert(parameter); }
  void Replug();
  bool Unplugged() const { return unplugged_; }

  // --- what the panel holds ---
  PanelKind Kind() const { return kind_; }
  int DeviceType() const { return deviceType_; }
  int FirmwareVersion() const { return firmwareVersion_; }
  void SetDeviceType(int type) { deviceType_ = type; }
  const PanelConfiguration& Configuration() const { return configuration_; }
  PanelConfiguration& Configuration() { return configuration_; }
  const KeyStore& Keys() const { return keys_; }
  KeyStore& Keys() { return keys_; }
  const WirelessTable& Wireless() const { return wireless_; }
  WirelessTable& Wireless() { return wireless_; }
  // The value report the panel gives for parameter 1..56 (handy for building
  // damaged reports).
  Report ParameterReport(int parameter) const;

  // Every output report received, as received, damaged ones included.
  const std::vector<Report>& ReceivedReports() const { return received_; }
  void ClearReceivedReports() { received_.clear(); }

 private:
  std::vector<Report> Answer(const HostRequest& request);
  std::vector<Report> AnswerQuery(const HostRequest& request);
  std::vector<Report> AnswerWrite(const HostRequest& request);
  std::vector<Report> AnswerKeyCommand(const HostRequest& request);
  std::vector<Report> AnswerWirelessCommand(const HostRequest& request);
  std::vector<Report> ApplyFault(const HostRequest& request, std::vector<Report> answer);

  PanelKind kind_;
  int deviceType_ = 1;
  int firmwareVersion_;
  PanelConfiguration configuration_ = PanelConfiguration::Factory();
  KeyStore keys_;
  WirelessTable wireless_;

  std::deque<AnswerFault> faults_;
  std::vector<Report> held_;
  std::optional<int> unplugCountdown_;
  std::optional<int> silenceCountdown_;
  bool silent_ = false;
  std::set<int> stuckParameters_;
  bool unplugged_ = false;
  std::vector<Report> received_;
};

}  // namespace zarvex::sim
