#include "cli/cli_help.h"

namespace zarvex::cli {

std::string DeviceExample() { return "/dev/hidrawN"; }
std::string DeviceQuoteNote() { return ""; }

}  // namespace zarvex::cli
