#include "protocol/parameter_table.h"

#include "protocol/protocol_codes.h"

namespace zarvex::protocol {

namespace {

template <auto Field>
Text& TextOf(TCFG& c) { return c.*Field; }
template <auto Group, int Index>
Text& TextAt(TCFG& c) { return (c.*Group)[Index]; }
template <auto Field>
int32_t& NumberOf(TCFG& c) { return c.*Field; }
template <auto Group, int Index>
int32_t& NumberAt(TCFG& c) { return (c.*Group)[Index]; }
template <auto Slots>
std::array<int32_t, kEventSlots>& SlotsOf(TCFG& c) { return c.*Slots; }

// The condition is taken when the parameter travels, so a full read tests the
// AutonomousOff it has just read as parameter 41.
Text& Parameter55Text(TCFG& c) { return Parameter55IsVpnAndId(c) ? c.VpnAndId : c.InputName[5]; }

constexpr Parameter T(Text& (*f)(TCFG&)) { return {ParameterKind::Text, f}; }
constexpr Parameter N(int32_t& (*f)(TCFG&)) { return {ParameterKind::Number, nullptr, f}; }
constexpr Parameter E(std::array<int32_t, kEventSlots>& (*s)(TCFG&), Text& (*m)(TCFG&)) {
  return {ParameterKind::EventSlots, nullptr, nullptr, s, m};
}

constexpr std::array<Parameter, kParameterCount> kParameters = {{
    {ParameterKind::KeypadCodes},                                          // 1
    T(TextAt<&TCFG::Phone, 0>), T(TextAt<&TCFG::Phone, 1>),                 // 2, 3
    T(TextAt<&TCFG::Phone, 2>), T(TextAt<&TCFG::Phone, 3>),                 // 4, 5
    T(TextAt<&TCFG::Phone, 4>), T(TextAt<&TCFG::Phone, 5>),                 // 6, 7
    T(TextAt<&TCFG::Phone, 6>), T(TextAt<&TCFG::Phone, 7>),                 // 8, 9
    T(TextOf<&TCFG::AccessPoint>),                                          // 10
    T(TextOf<&TCFG::AuxText1>),                                             // 11
    T(TextOf<&TCFG::AuxText2>),                                             // 12
    T(TextOf<&TCFG::ServerAddress>),                                        // 13
    T(TextOf<&TCFG::ReserveAddress>),                                       // 14
    N(NumberOf<&TCFG::AuxValue7>),                                          // 15
    T(TextOf<&TCFG::AuxText3>),                                             // 16
    N(NumberOf<&TCFG::TestPeriod>),                                         // 17
    N(NumberOf<&TCFG::ArmDelay>),                                           // 18
    N(NumberAt<&TCFG::InputDelay, 0>), N(NumberAt<&TCFG::InputDelay, 1>),   // 19, 20
    N(NumberAt<&TCFG::InputDelay, 2>), N(NumberAt<&TCFG::InputDelay, 3>),   // 21, 22
    N(NumberAt<&TCFG::InputDelay, 4>), N(NumberAt<&TCFG::InputDelay, 5>),   // 23, 24
    N(NumberAt<&TCFG::InputDelay, 6>),                                      // 25 AuxValue3
    N(NumberAt<&TCFG::InputType, 0>), N(NumberAt<&TCFG::InputType, 1>),     // 26, 27
    N(NumberAt<&TCFG::InputType, 2>), N(NumberAt<&TCFG::InputType, 3>),     // 28, 29
    N(NumberAt<&TCFG::InputType, 4>), N(NumberAt<&TCFG::InputType, 5>),     // 30, 31
    N(NumberAt<&TCFG::InputType, 6>),                                       // 32 AuxValue4
    N(NumberAt<&TCFG::SirenOnInput, 0>), N(NumberAt<&TCFG::SirenOnInput, 1>),  // 33, 34
    N(NumberAt<&TCFG::SirenOnInput, 2>), N(NumberAt<&TCFG::SirenOnInput, 3>),  // 35, 36
    N(NumberAt<&TCFG::SirenOnInput, 4>), N(NumberAt<&TCFG::SirenOnInput, 5>),  // 37, 38
    N(NumberAt<&TCFG::SirenOnInput, 6>),                                    // 39 AuxValue5
    N(NumberOf<&TCFG::CallMode>),                                           // 40
    N(NumberOf<&TCFG::AutonomousOff>),                                      // 41
    N(NumberOf<&TCFG::MaxSmsPerDay>),                                       // 42
    N(NumberOf<&TCFG::SirenTime>),                                          // 43
    N(NumberOf<&TCFG::LockPulse>),                                          // 44
    N(NumberOf<&TCFG::OptionFlags>),                                        // 45
    N(NumberOf<&TCFG::AuxValue6>),                                          // 46
    N(NumberOf<&TCFG::ReaderType>),                                         // 47
    E(SlotsOf<&TCFG::SmsEvents>, TextOf<&TCFG::SmsEventMask>),              // 48
    E(SlotsOf<&TCFG::CallEvents>, TextOf<&TCFG::CallEventMask>),            // 49
    T(TextAt<&TCFG::InputName, 0>), T(TextAt<&TCFG::InputName, 1>),         // 50, 51
    T(TextAt<&TCFG::InputName, 2>), T(TextAt<&TCFG::InputName, 3>),         // 52, 53
    T(TextAt<&TCFG::InputName, 4>),                                         // 54
    T(Parameter55Text),                                                     // 55
    T(TextAt<&TCFG::InputName, 6>),                                         // 56 TamperName
}};

}  // namespace

bool Parameter55IsVpnAndId(const TCFG& cfg) {
  return cfg.AutonomousOff == 1 && cfg.FirmwareVersion > 440 && cfg.FirmwareVersion < 500;
}

const Parameter* ParameterAt(int number) {
  if (number < 1 || number > kParameterCount) return nullptr;
  return &kParameters[static_cast<size_t>(number - 1)];
}

}  // namespace zarvex::protocol
