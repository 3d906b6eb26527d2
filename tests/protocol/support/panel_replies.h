#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "fake_device_bus.h"

namespace zarvex::protocol::testing {

// Input reports as the panel sends them, the bytes after the report ID
// (byte 1 is 0xDC). Built byte by byte here, not with the link's own frame
// code, so that a framing fault cannot hide in both.
Report ValueNumber(uint8_t code, int32_t value);
Report ValueText(uint8_t code, const std::string& text);
Report ValueBytes(uint8_t code, const std::string& bytesFromSix);  // byte 5 left 0
Report Ack(uint8_t code);
Report KeyRecord(int position, const std::array<uint8_t, 8>& key);
Report KeyListEnd();
Report CodeSaved();

}  // namespace zarvex::protocol::testing
