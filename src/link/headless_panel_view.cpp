#include "link/headless_panel_view.h"

namespace zarvex::link {

void THeadlessPanelView::ShowMessage(const std::string& text) {
  messages.push_back(text);
  if (onMessage) onMessage(text);
}

void THeadlessPanelView::ShowTransferStatus(const protocol::TransferStatusText& s) {
  transfer = s;
  if (onTransferStatus) onTransferStatus(s);
}

void THeadlessPanelView::SetKeyRow(int row, const std::string& position, const std::string& key,
                                   const std::string& duplicate) {
  if (row < 1) return;  // row 0 holds a window's titles
  if (keyRows.size() < static_cast<size_t>(row)) keyRows.resize(static_cast<size_t>(row));
  keyRows[static_cast<size_t>(row) - 1] = KeyRow{position, key, duplicate};
}

}  // namespace zarvex::link
