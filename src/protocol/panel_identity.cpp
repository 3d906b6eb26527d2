#include "protocol/panel_identity.h"

namespace zarvex::protocol {

bool IsPanelProductString(const std::string& productString) {
  const std::string product = kPanelProductName;
  return productString == product || productString == "Zarvex " + product;
}

}  // namespace zarvex::protocol
