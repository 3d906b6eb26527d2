// The window's start and close with the company's server in three states:
// not joined, joined but nothing listens (refused at once), and joined to a
// server that takes the connection and never answers. The sync runs on its
// own thread, so the start must not move; the close waits for a last sync
// of what waits to go at most TMainWindow::kTeamCloseLimit.
//   bench_window_team_start [starts per state, default 15]
#include <QApplication>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "team/team_sync.h"
#include "ui/tform1.h"
#include "ui/tmain_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int starts = argc > 1 ? std::atoi(argv[1]) : 15;
  // Something that takes the connection and never says a word.
  QTcpServer listener;
  if (!listener.listen(QHostAddress::LocalHost)) return 1;
  const int silent = listener.serverPort();
  struct TState {
    const char* name;
    std::string port;  // empty: not joined
  };
  const std::vector<TState> states = {{"not joined", ""}, {"joined, refused", "9"},
                                      {"joined, silent server", std::to_string(silent)}};
  for (const TState& state : states) {
    std::vector<double> start, close;
    for (int i = 0; i < starts; ++i) {
      QTemporaryDir dir;
      const QString history = dir.filePath(QStringLiteral("history"));
      if (!state.port.empty()) {
        // Joined before, with a change waiting to go.
        zarvex::sites::TSiteStore store(dir.filePath(QStringLiteral("sites.db")).toStdString());
        zarvex::team::TServerAddress a;
        a.host = "127.0.0.1";
        a.port = state.port;
        a.database = "zarvex";
        a.user = "ivanov";
        a.caFile = "/nonexistent/ca.crt";
        zarvex::team::SaveServerAddress(store, a);
        zarvex::sites::TSite site;
        site.name = "Склад";
        store.CreateSite(site);
      }
      zarvex::TForm1 form;
      form.FormCreate();
      const auto began = Clock::now();
      auto window = std::make_unique<zarvex::TMainWindow>(form, history);
      window->show();
      QApplication::processEvents();
      start.push_back(Ms(Clock::now() - began));
      // Let the first sync begin, as it would while the installer works.
      const auto running = Clock::now();
      while (Clock::now() - running < std::chrono::milliseconds(300)) QApplication::processEvents();
      const auto closing = Clock::now();
      window->close();
      window.reset();
      close.push_back(Ms(Clock::now() - closing));
    }
    std::printf("%-22s start median %7.1f ms, max %7.1f ms; close median %7.1f ms, max %7.1f ms (%d starts)\n",
                state.name, Median(start), *std::max_element(start.begin(), start.end()), Median(close),
                *std::max_element(close.begin(), close.end()), starts);
  }
  return 0;
}
