#include "report/configuration_report.h"

#include <map>

namespace zarvex::report {

namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += "<br>"; break;
      default: out += c;
    }
  }
  return out;
}

bool IsEvent(const SettingsField& f, std::string& row, bool& sms) {
  for (const char* prefix : {"SMS: ", "Звонок: "}) {
    const std::string p = prefix;
    if (f.label.rfind(p, 0) == 0) {
      row = f.label.substr(p.size());
      sms = p == "SMS: ";
      return true;
    }
  }
  return false;
}

const char* const kTable = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">";

}  // namespace

std::string MaskedCode(const std::string& code) {
  if (code.empty()) return code;
  return std::string(code.size() - 1, '*') + code.back();
}

std::string ConfigurationReportHtml(const TCFG& cfg, const ReportContext& c,
                                    const PanelTextDecoder& decode) {
  std::string html = "<html><body>";
  html += "<h1>Отчёт о конфигурации панели Zarvex GSM</h1>";
  html += "<p>Дата: " + Escape(c.date) + "<br>";
  if (c.firmware.empty()) {
    html += "Панель не подключена; конфигурация из окна программы.";
  } else {
    html += "Панель: " + Escape(c.deviceType.empty() ? "Zarvex GSM" : c.deviceType) +
            ", тип устройства: " + Escape(c.deviceType) + ", версия прошивки: " + Escape(c.firmware);
  }
  html += "</p>";

  // Page by page, in the window's order; the events get a table of their own.
  std::string page;
  std::vector<std::string> rows;
  std::map<std::string, std::pair<std::string, std::string>> events;
  for (const SettingsField& f : SettingsFields()) {
    if (f.page == kNoControlPage) continue;
    std::string row;
    bool sms = false;
    const ShownValue v = f.value(cfg, decode);
    if (IsEvent(f, row, sms)) {
      if (events.find(row) == events.end()) rows.push_back(row);
      (sms ? events[row].first : events[row].second) = v.shown;
      continue;
    }
    if (f.page != page) {
      if (!page.empty()) html += "</table>";
      page = f.page;
      html += "<h2>" + Escape(page) + "</h2>" + kTable;
    }
    const std::string shown = f.secret && !c.showCodes ? MaskedCode(v.shown) : v.shown;
    html += "<tr><td width=\"55%\">" + Escape(f.label) + "</td><td>" + Escape(shown) + "</td></tr>";
  }
  if (!page.empty()) html += "</table>";

  html += std::string("<h2>События</h2>") + kTable + "<tr><th>Событие</th><th>SMS</th><th>Звонок</th></tr>";
  for (const std::string& row : rows) {
    html += "<tr><td>" + Escape(row) + "</td><td>" + events[row].first + "</td><td>" +
            events[row].second + "</td></tr>";
  }
  html += "</table>";

  if (c.keysListed) {
    html += std::string("<h2>Ключи</h2>") + kTable + "<tr><th>№</th><th>Ключ (hex)</th><th>Дубль</th></tr>";
    for (const auto& k : c.keys) {
      html += "<tr><td>" + Escape(k[0]) + "</td><td>" + Escape(k[1]) + "</td><td>" + Escape(k[2]) + "</td></tr>";
    }
    html += "</table>";
  }
  if (c.wirelessListed) {
    html += "<h2>Беспроводные датчики и брелоки</h2><p>" + Escape(c.trinkets) + "<br>" +
            Escape(c.sensors) + "</p>";
  }
  html += "<h2>Примечание</h2><p>" + (c.note.empty() ? std::string("—") : Escape(c.note)) + "</p>";
  return html + "</body></html>";
}

}  // namespace zarvex::report
