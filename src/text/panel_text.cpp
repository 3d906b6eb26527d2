#include "text/panel_text.h"

#include <QHash>
#include <QStringDecoder>
#include <array>

namespace zarvex {
namespace {

// The code page maps every byte to one BMP character, so a table built once
// from the decoder gives both directions. ICU's own encoder substitutes 0x1A
// for unencodable characters, which would put a control byte into the file.
struct CodePage {
  std::array<char16_t, 256> toUnicode{};
  QHash<char32_t, char> toByte;

  CodePage() {
    QStringDecoder decoder("windows-1251");
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      QString decoded = decoder.isValid() ? decoder.decode(QByteArray(1, byte)) : QString();
      char16_t unit = b < 0x80 ? static_cast<char16_t>(b) : u'\uFFFD';
      if (decoded.size() == 1 && decoded[0] != QChar(QChar::ReplacementCharacter)) {
        unit = decoded[0].unicode();
      }
      toUnicode[static_cast<size_t>(b)] = unit;
      if (unit != u'\uFFFD' && !toByte.contains(unit)) toByte.insert(unit, byte);
    }
  }
};

const CodePage& Cp1251() {
  static const CodePage table;
  return table;
}

}  // namespace

QString FromPanelText(const std::string& bytes) {
  const CodePage& cp = Cp1251();
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char c : bytes) {
    text.append(QChar(cp.toUnicode[static_cast<unsigned char>(c)]));
  }
  return text;
}

std::string ToPanelText(const QString& text) {
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
