#include "text/panel_text.h"

#include <QHash>
#include <array>

namespace zarvex {
namespace {

// Windows-1251's upper half. Our own table rather than a system codec: a
// Windows build without ICU knows no "windows-1251" and would turn every
// Cyrillic letter into "?" bytes, which a write would send to the panel.
// 0x98 has no character of its own and stands for U+0098, as ICU has it.
constexpr std::array<char16_t, 128> kUpperHalf = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021',  // 80
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F',  // 88
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',  // 90
    u'\u0098', u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F',  // 98
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7',  // A0
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407',  // A8
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7',  // B0
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457',  // B8
    u'\u0410', u'\u0411', u'\u0412', u'\u0413', u'\u0414', u'\u0415', u'\u0416', u'\u0417',  // C0
    u'\u0418', u'\u0419', u'\u041A', u'\u041B', u'\u041C', u'\u041D', u'\u041E', u'\u041F',  // C8
    u'\u0420', u'\u0421', u'\u0422', u'\u0423', u'\u0424', u'\u0425', u'\u0426', u'\u0427',  // D0
    u'\u0428', u'\u0429', u'\u042A', u'\u042B', u'\u042C', u'\u042D', u'\u042E', u'\u042F',  // D8
    u'\u0430', u'\u0431', u'\u0432', u'\u0433', u'\u0434', u'\u0435', u'\u0436', u'\u0437',  // E0
    u'\u0438', u'\u0439', u'\u043A', u'\u043B', u'\u043C', u'\u043D', u'\u043E', u'\u043F',  // E8
    u'\u0440', u'\u0441', u'\u0442', u'\u0443', u'\u0444', u'\u0445', u'\u0446', u'\u0447',  // F0
    u'\u0448', u'\u0449', u'\u044A', u'\u044B', u'\u044C', u'\u044D', u'\u044E', u'\u044F',  // F8
};

struct CodePage {
  QHash<char32_t, char> toByte;
  CodePage() {
    for (int b = 0; b < 256; ++b) toByte.insert(Unit(static_cast<unsigned char>(b)), static_cast<char>(b));
  }
  static char16_t Unit(unsigned char byte) {
    return byte < 0x80 ? static_cast<char16_t>(byte) : kUpperHalf[byte - 0x80];
  }
};

const CodePage& Cp1251() {
  static const CodePage table;
  return table;
}

}  // namespace

QString FromPanelText(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char c : bytes) text.append(QChar(CodePage::Unit(static_cast<unsigned char>(c))));
  return text;
}

std::string ToPanelText(const QString& text) {
  // ICU's own encoder would substitute 0x1A, a control byte in the file.
  const CodePage& cp = Cp1251();
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  for (const char32_t codePoint : text.toUcs4()) {
    const auto found = cp.toByte.constFind(codePoint);
    bytes.push_back(found == cp.toByte.constEnd() ? '?' : found.value());
  }
  return bytes;
}

}  // namespace zarvex
