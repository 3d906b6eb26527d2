#include "report/settings_fields.h"

#include "settings/installer_units.h"

namespace zarvex::report {

namespace {

using Decoder = PanelTextDecoder;

const char* const kMain = "Основные свойства";
const char* const kInputs = "Конфигурация входов";
const char* const kGsm = "Настройки GSM";
const char* const kAuto = "Автономный режим";
const char* const kKeypad = "Клавиатура";

std::string YesNo(bool on) { return on ? "да" : "нет"; }
std::string Num(int32_t v) { return std::to_string(v); }

// Field builders: each names how the record holds the value and how the
// window shows it.
SettingsField TextField(const char* page, std::string label, int parameter,
                        Text TCFG::*member) {
  return {page, std::move(label), parameter, false,
          [member](const TCFG& c, const Decoder& d) {
            const std::string t = d(c.*member);
            return ShownValue{t, t};
          },
          [member](TCFG& into, const TCFG& from) { into.*member = from.*member; }};
}

template <typename Get>
SettingsField TextAt(const char* page, std::string label, int parameter, Get get,
                     bool secret = false) {
  return {page, std::move(label), parameter, secret,
          [get](const TCFG& c, const Decoder& d) {
            const std::string t = d(get(c));
            return ShownValue{t, t};
          },
          [get](TCFG& into, const TCFG& from) { get(into) = get(from); }};
}

// A number as typed (plain), a delay (seconds), or a code with a list of texts.
template <typename Get>
SettingsField NumberAt(const char* page, std::string label, int parameter, Get get) {
  return {page, std::move(label), parameter, false,
          [get](const TCFG& c, const Decoder&) {
            const int32_t v = get(c);
            return ShownValue{Num(v), Num(v)};
          },
          [get](TCFG& into, const TCFG& from) { get(into) = get(from); }};
}

template <typename Get>
SettingsField DelayAt(const char* page, std::string label, int parameter, Get get) {
  return {page, std::move(label), parameter, false,
          [get](const TCFG& c, const Decoder&) {
            const int32_t v = get(c);
            return ShownValue{Num(DelaySeconds(v)) + " с", Num(v)};
          },
          [get](TCFG& into, const TCFG& from) { get(into) = get(from); }};
}

template <typename Get>
SettingsField ChoiceAt(const char* page, std::string label, int parameter,
                       const std::vector<CodeText>& list, Get get) {
  return {page, std::move(label), parameter, false,
          [&list, get](const TCFG& c, const Decoder&) {
            const int32_t v = get(c);
            return ShownValue{TextOfCode(list, v).value_or("код " + Num(v)), Num(v)};
          },
          [get](TCFG& into, const TCFG& from) { get(into) = get(from); }};
}

template <typename Get>
SettingsField FlagAt(const char* page, std::string label, int parameter, Get get) {
  return {page, std::move(label), parameter, false,
          [get](const TCFG& c, const Decoder&) {
            const int32_t v = get(c);
            return ShownValue{YesNo(v == 1), Num(v)};
          },
          [get](TCFG& into, const TCFG& from) { get(into) = get(from); }};
}

// One of the three boxes folded into OptionFlags: its own share of the code
// (1, 2 or 4), so a change of one box is not shown as a change of all three.
// Copying it leaves the other two as they are.
SettingsField OptionField(std::string label, bool Options::*box, int32_t share) {
  return {kMain, std::move(label), 45, false,
          [box, share](const TCFG& c, const Decoder&) {
            const bool on = OptionsOf(c.OptionFlags).*box;
            return ShownValue{YesNo(on), Num(on ? share : 0)};
          },
          [box](TCFG& into, const TCFG& from) {
            Options o = OptionsOf(into.OptionFlags);
            o.*box = OptionsOf(from.OptionFlags).*box;
            into.OptionFlags = FlagsOf(o);
          }};
}

// One event row: the SMS or the call box of a slot.
SettingsField EventField(const std::string& row, int slot, bool sms) {
  const std::string label = std::string(sms ? "SMS" : "Звонок") + ": " + row;
  return {slot >= 14 ? kNoControlPage : kAuto, label, sms ? 48 : 49, false,
          [slot, sms](const TCFG& c, const Decoder&) {
            const int32_t v = (sms ? c.SmsEvents : c.CallEvents)[static_cast<size_t>(slot)];
            return ShownValue{YesNo(v == 1), Num(v)};
          },
          [slot, sms](TCFG& into, const TCFG& from) {
            auto& events = sms ? into.SmsEvents : into.CallEvents;
            events[static_cast<size_t>(slot)] =
                (sms ? from.SmsEvents : from.CallEvents)[static_cast<size_t>(slot)];
            BuildEventMasks(into);
          }};
}

std::vector<SettingsField> BuildFields() {
  std::vector<SettingsField> f;
  f.push_back(OptionField("Принудительная постановка", &Options::forced, 1));
  f.push_back(OptionField("Удаленное снятие с охраны (SMS/звонок)", &Options::remoteDisarm, 4));
  f.push_back(DelayAt(kMain, "Задержка на постановку (сек.)", 18,
                      [](auto& c) -> auto& { return c.ArmDelay; }));
  f.push_back(NumberAt(kMain, "Периодический тест (мин.)", 17,
                       [](auto& c) -> auto& { return c.TestPeriod; }));
  f.push_back(OptionField("Периодический тест через голосовой канал", &Options::voiceReport, 2));
  f.push_back(DelayAt(kMain, "Импульс на выход замка (сек.)", 44,
                      [](auto& c) -> auto& { return c.LockPulse; }));
  f.push_back(NumberAt(kMain, "Время звучания сирены (сек.)", 43,
                       [](auto& c) -> auto& { return c.SirenTime; }));
  f.push_back(ChoiceAt(kMain, "Считыватель", 47, ReaderTypes(),
                       [](auto& c) -> auto& { return c.ReaderType; }));

  for (size_t i = 0; i < 6; ++i) {
    const std::string n = std::to_string(i + 1);
    const int loop = static_cast<int>(i) + 1;
    f.push_back(ChoiceAt(kInputs, "Тип входа " + n, 26 + loop - 1, LoopTypes(loop),
                         [i](auto& c) -> auto& { return c.InputType[i]; }));
    f.push_back(DelayAt(kInputs, "Задержка входа " + n + " (сек.)", 19 + loop - 1,
                        [i](auto& c) -> auto& { return c.InputDelay[i]; }));
    f.push_back(FlagAt(kInputs, "Сирена при сработке входа " + n, 33 + loop - 1,
                       [i](auto& c) -> auto& { return c.SirenOnInput[i]; }));
  }

  f.push_back(TextField(kGsm, "Точка доступа (AP)", 10, &TCFG::AccessPoint));
  f.push_back(TextField(kGsm, "IP[:port] сервера", 13, &TCFG::ServerAddress));
  f.push_back(TextField(kGsm, "IP[:port] (резерв)", 14, &TCFG::ReserveAddress));
  f.push_back({kGsm, "VPN", 55, false,
               [](const TCFG& c, const Decoder&) {
                 return ShownValue{YesNo(VpnOf(c)), c.VpnAndId.substr(0, 1)};
               },
               [](TCFG& into, const TCFG& from) {
                 into.VpnAndId = Text(1, VpnOf(from) ? '1' : '0') + IdOf(into);
               }});
  f.push_back({kGsm, "ID (6 знаков)", 55, false,
               [](const TCFG& c, const Decoder& d) {
                 const std::string id = d(IdOf(c));
                 return ShownValue{id, id};
               },
               [](TCFG& into, const TCFG& from) {
                 into.VpnAndId = Text(1, VpnOf(into) ? '1' : '0') + IdOf(from);
               }});
  f.push_back(ChoiceAt(kGsm, "Входящий звонок", 40, CallModes(),
                       [](auto& c) -> auto& { return c.CallMode; }));
  f.push_back(TextAt(kGsm, "Телефон сервера (DTMF-канал)", 2,
                     [](auto& c) -> auto& { return c.Phone[0]; }));
  for (size_t i = 1; i < 7; ++i) {
    f.push_back(TextAt(kGsm, "Телефон пользователя (" + std::to_string(i + 1) + ")",
                       static_cast<int>(i) + 2, [i](auto& c) -> auto& { return c.Phone[i]; }));
  }
  f.push_back(TextAt(kGsm, "Телефон проверки состояния", 9,
                     [](auto& c) -> auto& { return c.Phone[7]; }));

  f.push_back({kAuto, "Автономный режим", 41, false,
               [](const TCFG& c, const Decoder&) {
                 return ShownValue{YesNo(c.AutonomousOff != 1), Num(c.AutonomousOff)};
               },
               [](TCFG& into, const TCFG& from) { into.AutonomousOff = from.AutonomousOff; }});
  f.push_back(NumberAt(kAuto, "Максимальное количество SMS в сутки", 42,
                       [](auto& c) -> auto& { return c.MaxSmsPerDay; }));
  for (size_t i = 0; i < 6; ++i) {
    f.push_back(TextAt(kAuto, "Название шлейфа " + std::to_string(i + 1),
                       static_cast<int>(i) + 50, [i](auto& c) -> auto& { return c.InputName[i]; }));
  }
  f.push_back(TextAt(kAuto, "Название шлейфа «Вскрытие»", 56,
                     [](auto& c) -> auto& { return c.TamperName(); }));
  const std::pair<int, std::string> rows[] = {
      {1, "шлейф 1"}, {2, "шлейф 2"}, {3, "шлейф 3"}, {4, "шлейф 4"}, {5, "шлейф 5"},
      {6, "шлейф 6"}, {kOnTamper, "Вскрытие"}, {kOnPowerOff, "Отсутствие внешнего питания"},
      {kOnPowerOn, "Восстановление внешнего питания"}, {kOnLowBattery, "Низкий заряд батареи"},
      {kOnNoBattery, "Отсутствие батареи"}, {kOnArm, "Постановка под охрану"},
      {kOnDisarm, "Снятие с охраны"}, {kOnReset, "Перезагрузка"},
      {14, "резервное событие 15"}, {15, "резервное событие 16"}};
  for (const auto& [slot, row] : rows) {
    f.push_back(EventField(row, slot, true));
    f.push_back(EventField(row, slot, false));
  }

  for (size_t i = 0; i < 10; ++i) {
    std::string label = "Код " + std::to_string(i + 1);
    if (i == 9) label += " (администратор)";
    f.push_back(TextAt(kKeypad, label, 1, [i](auto& c) -> auto& { return c.KeypadCode[i]; },
                       true));
  }

  // No control: the window forces or carries these; the panel still holds them.
  const char* const none = kNoControlPage;
  f.push_back(TextField(none, "Заводской код (ячейка 0)", 1, &TCFG::KeypadCode0));
  f.push_back(TextField(none, "Служебный текст 11", 11, &TCFG::AuxText1));
  f.push_back(TextField(none, "Служебный текст 12", 12, &TCFG::AuxText2));
  f.push_back(NumberAt(none, "Служебное число 15", 15, [](auto& c) -> auto& { return c.AuxValue7; }));
  f.push_back(TextField(none, "Служебный текст 16", 16, &TCFG::AuxText3));
  f.push_back(NumberAt(none, "Служебное число 25", 25, [](auto& c) -> auto& { return c.AuxValue3(); }));
  f.push_back(NumberAt(none, "Служебное число 32", 32, [](auto& c) -> auto& { return c.AuxValue4(); }));
  f.push_back(NumberAt(none, "Служебное число 39", 39, [](auto& c) -> auto& { return c.AuxValue5(); }));
  f.push_back(NumberAt(none, "Служебное число 46", 46, [](auto& c) -> auto& { return c.AuxValue6; }));
  f.push_back(NumberAt(none, "Тип устройства (файл)", 0, [](auto& c) -> auto& { return c.DeviceType; }));
  f.push_back(NumberAt(none, "Версия прошивки (файл)", 0,
                       [](auto& c) -> auto& { return c.FirmwareVersion; }));
  f.push_back(NumberAt(none, "Служебное число 1 (файл)", 0, [](auto& c) -> auto& { return c.AuxValue1; }));
  f.push_back(NumberAt(none, "Служебное число 2 (файл)", 0, [](auto& c) -> auto& { return c.AuxValue2; }));
  return f;
}

}  // namespace

const std::vector<SettingsField>& SettingsFields() {
  static const std::vector<SettingsField> fields = BuildFields();
  return fields;
}

}  // namespace zarvex::report
