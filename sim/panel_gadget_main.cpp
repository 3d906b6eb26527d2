// zarvex-panel-gadget: the simulated panel answering through a USB HID
// gadget's /dev/hidgN, for the kernel test bench.
//   zarvex-panel-gadget [--hidg /dev/hidg0] [--model first|second] [--version N] [--keys N]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "sim/gadget_panel.h"

namespace {
volatile std::sig_atomic_t stop = 0;
void Stop(int) { stop = 1; }
}  // namespace

int main(int argc, char* argv[]) {
  std::string hidg = "/dev/hidg0";
  zarvex::sim::PanelKind kind = zarvex::sim::PanelKind::First;
  int version = 0, keys = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--hidg") hidg = value;
    else if (option == "--model") kind = value == "second" ? zarvex::sim::PanelKind::Second : zarvex::sim::PanelKind::First;
    else if (option == "--version") version = std::atoi(value.c_str());
    else if (option == "--keys") keys = std::atoi(value.c_str());
    else {
      std::fprintf(stderr, "zarvex-panel-gadget: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);
  zarvex::sim::GadgetPanel panel(hidg);
  panel.Plug(kind, version ? version : zarvex::sim::DefaultFirmwareVersion(kind));
  panel.WithModel([keys](zarvex::sim::PanelModel& m) {
    for (int k = 1; k <= keys; ++k) {
      m.Keys().Put(k, {0xAB, 0xCD, 0, 0, 0, 0, static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)});
    }
  });
  while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return 0;
}
