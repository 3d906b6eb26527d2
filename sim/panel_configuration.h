#pragma once
// The 56 configuration parameters as the panel keeps them: numbers as int32,
// texts as single-byte strings, the two event masks as 16 characters.

#include <array>
#include <cstdint>
#include <string>

namespace zarvex::sim {

inline constexpr int kParameterCount = 56;
inline constexpr std::size_t kMaskLength = 16;

enum class ParameterKind { Number, Text, Mask };

// Kind of parameter 1..56; the parameter number must be in range.
ParameterKind KindOfParameter(int parameter);
bool IsParameter(int parameter);

class PanelConfiguration {
 public:
  // The values a panel leaves the factory with.
  static PanelConfiguration Factory();

  // Parameters outside 1..56 read as 0 / empty and ignore writes.
  int32_t Number(int parameter) const;
  const std::string& Text(int parameter) const;  // texts and masks
  void SetNumber(int parameter, int32_t value);
  // A mask is kept at exactly 16 characters: cut, or filled up with '0'.
  void SetText(int parameter, std::string text);

  bool operator==(const PanelConfiguration&) const = default;

 private:
  std::array<int32_t, kParameterCount + 1> numbers_{};
  std::array<std::string, kParameterCount + 1> texts_{};
};

}  // namespace zarvex::sim
