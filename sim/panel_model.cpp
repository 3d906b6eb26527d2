#include "panel_model.h"

namespace zarvex::sim {

int DefaultFirmwareVersion(PanelKind kind) {
  return kind == PanelKind::First ? kFirstModelVersion : kSecondModelVersion;
}

PanelModel::PanelModel(PanelKind kind) : PanelModel(kind, DefaultFirmwareVersion(kind)) {}

PanelModel::PanelModel(PanelKind kind, int firmwareVersion) : kind_(kind), firmwareVersion_(firmwareVersion) {}

PanelAnswer PanelModel::HandleOutputReport(const Report& report) {
  if (unplugged_) return {};
  received_.push_back(report);
  if (unplugCountdown_ && --*unplugCountdown_ == 0) {
    unplugCountdown_.reset();
    unplugged_ = true;
    return {{}, true};
  }
  if (silenceCountdown_ && --*silenceCountdown_ == 0) {
    silenceCountdown_.reset();
    silent_ = true;
  }
  if (silent_) return {};
  const auto request = ParseHostReport(report);
  if (!request) return {};
  auto answer = Answer(*request);
  if (answer.empty()) return {};
  return {ApplyFault(*request, std::move(answer)), false};
}

std::vector<Report> PanelModel::Answer(const HostRequest& request) {
  if (request.messageClass == kClassQuery) return AnswerQuery(request);
  if (request.messageClass != kClassWrite) return {};
  if (IsParameter(request.code)) return AnswerWrite(request);
  if (request.code == kCodeWrite || request.code == kCodeDelete || request.code == kCodeKeyList) {
    return kind_ == PanelKind::First ? AnswerKeyCommand(request) : AnswerWirelessCommand(request);
  }
  return {};
}

Report PanelModel::ParameterReport(int parameter) const {
  const auto code = static_cast<uint8_t>(parameter);
  if (KindOfParameter(parameter) == ParameterKind::Number) return ValueReport(code, configuration_.Number(parameter));
  return TextReport(code, configuration_.Text(parameter));
}

std::vector<Report> PanelModel::AnswerQuery(const HostRequest& request) {
  if (IsParameter(request.code)) return {ParameterReport(request.code)};
  switch (request.code) {
    case kCodeDeviceType:
      return {ValueReport(kCodeDeviceType, deviceType_)};
    case kCodeFirmwareVersion:
      return {ValueReport(kCodeFirmwareVersion, firmwareVersion_)};
    case kCodeWirelessList:
      if (kind_ == PanelKind::Second) return {TextReport(kCodeWirelessList, wireless_.PresenceText())};
      return {};
    default:
      return {};
  }
}

std::vector<Report> PanelModel::AnswerWrite(const HostRequest& request) {
  if (stuckParameters_.count(request.code)) return {Acknowledgement(request.code)};
  // A value of the wrong type is refused: the panel would not know where to keep it.
  if (KindOfParameter(request.code) == ParameterKind::Number) {
    if (!request.number) return {};
    configuration_.SetNumber(request.code, *request.number);
  } else {
    if (!request.text) return {};
    configuration_.SetText(request.code, *request.text);
  }
  return {Acknowledgement(request.code)};
}

std::vector<Report> PanelModel::AnswerKeyCommand(const HostRequest& request) {
  if (request.code == kCodeKeyList) {
    std::vector<Report> answer;
    answer.reserve(keys_.Stored().size() + 1);
    for (const auto& [position, key] : keys_.Stored()) answer.push_back(KeyRecordReport(position, key));
    answer.push_back(ValueReport(kCodeKeyListEnd, 0));
    return answer;
  }
  if (!request.text) return {};
  const auto range = ParsePositionRange(*request.text);
  if (!range) return {};
  if (request.code == kCodeWrite) {
    keys_.StartLearning(*range);
  } else {
    keys_.Delete(*range);
  }
  return {Acknowledgement(request.code)};
}

std::vector<Report> PanelModel::AnswerWirelessCommand(const HostRequest& request) {
  if (request.code == kCodeKeyList || !request.number) return {};
  const bool done = request.code == kCodeWrite ? wireless_.StartPairing(*request.number)
                                               : wireless_.Delete(*request.number);
  if (!done) return {};
  return {Acknowledgement(request.code)};
}

std::vector<Report> PanelModel::ApplyFault(const HostRequest& request, std::vector<Report> answer) {
  if (faults_.empty()) return answer;
  const AnswerFault fault = faults_.front();
  faults_.pop_front();
  switch (fault.kind) {
    case AnswerFault::Kind::Drop:
      return {};
    case AnswerFault::Kind::Hold:
      held_.insert(held_.end(), answer.begin(), answer.end());
      return {};
    case AnswerFault::Kind::OtherParameter:
      if (request.messageClass == kClassQuery && IsParameter(request.code) && IsParameter(fault.parameter)) {
        return {ParameterReport(fault.parameter)};
      }
      for (auto& report : answer) report[4] = static_cast<uint8_t>(fault.parameter);
      return answer;
    case AnswerFault::Kind::Shorten:
      for (auto& report : answer) report = Shortened(report, fault.length);
      return answer;
    case AnswerFault::Kind::Lengthen:
      for (auto& report : answer) report = Lengthened(report, fault.length);
      return answer;
    case AnswerFault::Kind::Malform:
      for (auto& report : answer) report = Malformed(report, fault.malformation);
      return answer;
  }
  return answer;
}

std::vector<Report> PanelModel::PresentKey(const KeyBytes& key) {
  if (unplugged_ || kind_ != PanelKind::First) return {};
  const auto position = keys_.Learn(key);
  if (!position) return {};
  return {ValueReport(kCodeSaved, *position)};
}

std::vector<Report> PanelModel::AnswerPairing() {
  if (unplugged_ || kind_ != PanelKind::Second) return {};
  const auto code = wireless_.CompletePairing();
  if (!code) return {};
  return {ValueReport(kCodeSaved, *code)};
}

void PanelModel::DropNextAnswer() { faults_.push_back({AnswerFault::Kind::Drop}); }

void PanelModel::HoldNextAnswer() { faults_.push_back({AnswerFault::Kind::Hold}); }

std::vector<Report> PanelModel::ReleaseHeldAnswers() {
  std::vector<Report> held;
  held.swap(held_);
  return held;
}

void PanelModel::AnswerOtherParameter(int parameter) {
  AnswerFault fault{AnswerFault::Kind::OtherParameter};
  fault.parameter = parameter;
  faults_.push_back(fault);
}

void PanelModel::ShortenNextAnswer(std::size_t length) {
  AnswerFault fault{AnswerFault::Kind::Shorten};
  fault.length = length;
  faults_.push_back(fault);
}

void PanelModel::LengthenNextAnswer(std::size_t length) {
  AnswerFault fault{AnswerFault::Kind::Lengthen};
  fault.length = length;
  faults_.push_back(fault);
}

void PanelModel::MalformNextAnswer(Malformation malformation) {
  AnswerFault fault{AnswerFault::Kind::Malform};
  fault.malformation = malformation;
  faults_.push_back(fault);
}

void PanelModel::UnplugAfterRequests(int n) {
  if (n < 1) n = 1;
  unplugCountdown_ = n;
}

void PanelModel::FallSilentAfterRequests(int n) { silenceCountdown_ = n < 1 ? 1 : n; }

void PanelModel::Replug() {
  unplugged_ = false;
  silent_ = false;
  silenceCountdown_.reset();
  unplugCountdown_.reset();
}

}  // namespace zarvex::sim
