#pragma once

#include <string>

namespace zarvex::protocol {

// The product string the panel reports over USB.
inline constexpr const char* kPanelProductName = "ZARVEX - ZX4110";

// True for the panel's product string as a HID layer gives it: the USB
// product string itself, or Wine's hidraw name, which puts the USB
// manufacturer in front ("Zarvex ZARVEX - ZX4110"). Nothing looser.
bool IsPanelProductString(const std::string& productString);

// The second half of "Нет доступа к устройству …": what to do about it on
// this system (UTF-8).
std::string NoAccessHint();
// When another program holds the panel; the same on every system.
std::string PanelBusyHint();

}  // namespace zarvex::protocol
