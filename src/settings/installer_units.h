#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/tcfg.h"

namespace zarvex {

// How the window shows the record's codes to the installer, and back. The
// window's binding, the command line and the reports share these, so the
// same code always reads the same way. Texts here are UTF-8.

// The factory codes that the window offers and that slot 0 always carries.
inline constexpr char kFactoryUserCode[] = "1234";

struct CodeText {
  const char* text;
  int32_t code;
};

// The choices of a loop's type (loop 1..6; loop 6 has one more), of the
// incoming-call mode and of the reader, in order of comparison.
const std::vector<CodeText>& LoopTypes(int loop);
const std::vector<CodeText>& CallModes();
const std::vector<CodeText>& ReaderTypes();

// The text of a code, or nothing when the list has none for it.
std::optional<std::string> TextOfCode(const std::vector<CodeText>& list, int32_t code);
std::optional<int32_t> CodeOfText(const std::vector<CodeText>& list, const std::string& text);

// A write sends a number's low 16 bits only: these are the largest values
// that reach the panel whole.
inline constexpr int32_t kLargestPanelNumber = 65535;
inline constexpr int32_t kLargestDelaySeconds = (kLargestPanelNumber - 1) / 10;  // 6553

// Delays are kept as seconds * 10 + 1; wraps in 32 bits like DigitsToInt.
int32_t DelayCode(int32_t seconds);
int32_t DelaySeconds(int32_t code);

// The three check boxes folded into OptionFlags.
struct Options {
  bool forced = false;        // "Принудительная постановка"
  bool voiceReport = false;   // "Периодический тест через голосовой канал"
  bool remoteDisarm = false;  // "Удаленное снятие с охраны (SMS/звонок)"
};
Options OptionsOf(int32_t flags);
int32_t FlagsOf(const Options& options);

// VpnAndId: a "1" or "0" for the VPN box, then the ID.
bool VpnOf(const TCFG& cfg);
Text IdOf(const TCFG& cfg);

// What every collect does to the record whatever the controls hold: the
// fields without a control get their fixed values, and each keypad code is
// filled on the left with "0" to four characters.
void ApplyCollectRules(TCFG& cfg);

}  // namespace zarvex
