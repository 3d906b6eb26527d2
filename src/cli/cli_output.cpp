#include "cli/cli_output.h"

#include <cstdio>

#include "report/settings_fields.h"
#include "text/panel_text.h"

namespace zarvex::cli {

std::string Utf8(const Text& panelText) { return FromPanelText(panelText).toStdString(); }

namespace {
std::string ValueText(const report::ShownValue& v) {
  return v.raw == v.shown ? v.shown : v.shown + " (" + v.raw + ")";
}
}  // namespace

std::string SettingsTable(const TCFG& cfg) {
  std::string table;
  std::string page;
  for (const report::SettingsField& field : report::SettingsFields()) {
    if (field.page != page) {
      page = field.page;
      table += (table.empty() ? "" : "\n") + page + "\n";
    }
    table += "  " + field.label + ": " + ValueText(field.value(cfg, Utf8)) + "\n";
  }
  return table;
}

std::string SettingsJson(const TCFG& cfg) {
  std::string json = "[";
  for (const report::SettingsField& field : report::SettingsFields()) {
    const report::ShownValue v = field.value(cfg, Utf8);
    json += std::string(json.size() > 1 ? "," : "") + "\n  {\"page\": " + JsonString(field.page) +
            ", \"label\": " + JsonString(field.label) +
            ", \"parameter\": " + std::to_string(field.parameter) +
            ", \"value\": " + JsonString(v.shown) + ", \"raw\": " + JsonString(v.raw) + "}";
  }
  return json + "\n]\n";
}

std::string ComparisonText(const report::Comparison& comparison) {
  std::string text = report::DifferenceCountText(comparison.parametersDiffering) + "\n";
  for (const report::Difference& d : comparison.differences) {
    text += "  " + report::DescribeDifference(d) + "\n";
  }
  return text;
}

std::string ComparisonJson(const report::Comparison& comparison) {
  std::string json = "{\"parameters_differing\": " +
                     std::to_string(comparison.parametersDiffering) + ", \"differences\": [";
  bool first = true;
  for (const report::Difference& d : comparison.differences) {
    json += std::string(first ? "" : ",") + "\n  {\"label\": " + JsonString(d.field->label) +
            ", \"parameter\": " + std::to_string(d.field->parameter) +
            ", \"ours\": " + JsonString(d.ours.shown) + ", \"ours_raw\": " + JsonString(d.ours.raw) +
            ", \"theirs\": " + JsonString(d.theirs.shown) +
            ", \"theirs_raw\": " + JsonString(d.theirs.raw) + "}";
    first = false;
  }
  return json + "\n]}\n";
}

std::string ProgressLine(const std::string& text, bool terminal, bool erasesLines) {
  if (!terminal) return text + "\n";
  // "Чтение: 12 из 56" fills 12/56 of the bar; other texts show as they are.
  constexpr int kWidth = 28;
  int done = -1;
  const size_t of = text.find(" из 56");
  if (of != std::string::npos) {
    size_t start = of;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
    if (start < of) done = std::stoi(text.substr(start, of - start));
  }
  std::string line;
  if (done >= 0) {
    const int filled = done * kWidth / 56;
    line += "[" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(kWidth - filled), '.') + "] ";
  }
  line += text;
  if (erasesLines) return "\r\033[K" + line;
  // A console that shows escapes as text: spaces cover what a longer line left.
  constexpr size_t kColumns = 79;
  size_t shown = 0;
  for (unsigned char c : line) shown += (c & 0xC0) != 0x80;  // UTF-8 lead bytes
  if (shown < kColumns) line.append(kColumns - shown, ' ');
  return "\r" + line;
}

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (b < 0x20 || b == 0x7f) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace zarvex::cli
