#include "demo/panel_texts.h"

#include <QStringList>

#include "text/panel_text.h"

namespace zarvex::demo {

namespace {

bool Paired(const std::string& presence, std::size_t index) {
  return index < presence.size() && presence[index] == '1';
}

QString KindName(sim::PanelKind kind) {
  return kind == sim::PanelKind::First ? QStringLiteral("первой модели") : QStringLiteral("второй модели");
}

}  // namespace

QString ParameterField(int parameter) {
  if (parameter == 1) return QStringLiteral("KeypadCode0–10");
  if (parameter >= 2 && parameter <= 9) return QStringLiteral("Phone%1").arg(parameter - 1);
  if (parameter >= 19 && parameter <= 24) return QStringLiteral("InputDelay%1").arg(parameter - 18);
  if (parameter >= 26 && parameter <= 31) return QStringLiteral("InputType%1").arg(parameter - 25);
  if (parameter >= 33 && parameter <= 38) return QStringLiteral("SirenOnInput%1").arg(parameter - 32);
  if (parameter >= 50 && parameter <= 54) return QStringLiteral("InputName%1").arg(parameter - 49);
  switch (parameter) {
    case 10: return QStringLiteral("AccessPoint");
    case 11: return QStringLiteral("AuxText1");
    case 12: return QStringLiteral("AuxText2");
    case 13: return QStringLiteral("ServerAddress");
    case 14: return QStringLiteral("ReserveAddress");
    case 15: return QStringLiteral("AuxValue7");
    case 16: return QStringLiteral("AuxText3");
    case 17: return QStringLiteral("TestPeriod");
    case 18: return QStringLiteral("ArmDelay");
    case 25: return QStringLiteral("AuxValue3");
    case 32: return QStringLiteral("AuxValue4");
    case 39: return QStringLiteral("AuxValue5");
    case 40: return QStringLiteral("CallMode");
    case 41: return QStringLiteral("AutonomousOff");
    case 42: return QStringLiteral("MaxSmsPerDay");
    case 43: return QStringLiteral("SirenTime");
    case 44: return QStringLiteral("LockPulse");
    case 45: return QStringLiteral("OptionFlags");
    case 46: return QStringLiteral("AuxValue6");
    case 47: return QStringLiteral("ReaderType");
    case 48: return QStringLiteral("SmsEventMask");
    case 49: return QStringLiteral("CallEventMask");
    case 55: return QStringLiteral("InputName6 / VpnAndId");
    case 56: return QStringLiteral("TamperName");
    default: return {};
  }
}

QString ParameterValue(const sim::PanelConfiguration& configuration, int parameter) {
  if (!sim::IsParameter(parameter)) return {};
  if (sim::KindOfParameter(parameter) == sim::ParameterKind::Number) {
    return QString::number(configuration.Number(parameter));
  }
  return FromPanelText(configuration.Text(parameter));
}

QString PanelStateText(const PanelSnapshot& s) {
  if (!s.kind) return QStringLiteral("Панель не подключена");
  const QString what = QStringLiteral("панель %1 (тип %2, версия %3)")
                           .arg(KindName(*s.kind))
                           .arg(s.deviceType)
                           .arg(s.firmwareVersion);
  if (s.plugged) return QStringLiteral("Подключена ") + what;
  return QStringLiteral("Отключена ") + what;
}

QString PairedKeyFobsText(const std::string& presence) {
  QStringList fobs;
  for (int n = 1; n <= 10; ++n) {
    if (Paired(presence, static_cast<std::size_t>(n - 1))) fobs << QString::number(n);
  }
  return QStringLiteral("Брелоки: ") + (fobs.isEmpty() ? QStringLiteral("пусто") : fobs.join(QStringLiteral(", ")));
}

QString PairedSensorsText(const std::string& presence) {
  QStringList sensors;
  for (int i = 11; i <= 30; ++i) {
    if (!Paired(presence, static_cast<std::size_t>(i - 1))) continue;
    sensors << QStringLiteral("%1(%2)").arg(i <= 20 ? 3 : 4).arg((i - 1) % 10 + 1);
  }
  return QStringLiteral("Датчики: ") + (sensors.isEmpty() ? QStringLiteral("пусто") : sensors.join(QStringLiteral(", ")));
}

QString WirelessDeviceName(int code) {
  if (code >= 1 && code <= 10) return QStringLiteral("брелок %1").arg(code);
  if (code >= 30 && code <= 39) return QStringLiteral("датчик %1 (3й шлейф)").arg(code - 29);
  if (code >= 40 && code <= 49) return QStringLiteral("датчик %1 (4й шлейф)").arg(code - 39);
  return QStringLiteral("устройство %1").arg(code);
}

}  // namespace zarvex::demo
