#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "team/pg_connection.h"

namespace zarvex {

// What the window tells about the company's server.
struct TTeamState {
  bool joined = false;
  QString server;    // host:port/database (user)
  team::TServerAddress address;
  QString lastSync;  // UTC, empty: never
  int changesWaiting = 0, snapshotsWaiting = 0;
  // Of what waits, what the server refused at the last sync, and the first reason.
  int refused = 0;
  QString refusedReason;
  enum class Reach { Unknown, Reachable, Unreachable, Refused };
  Reach reach = Reach::Unknown;
  QString problem;  // the last failure, as the installer reads it
  bool syncing = false;
};
// One line for the sites window: when it last synced, what waits, whether
// the server answers.
QString TeamStatusText(const TTeamState& state);

// The team server's work for the window, on a thread of its own with its own
// connection to the site database: no click and no transfer to a panel ever
// waits on the network. Every call returns at once; answers come as signals
// on the window's thread.
class TTeamWorker : public QObject {
  Q_OBJECT

 public:
  explicit TTeamWorker(QString databasePath, QObject* parent = nullptr);
  ~TTeamWorker() override;

  const TTeamState& State() const { return state_; }
  // A sync of what waits both ways; one asked while one runs follows it.
  void Sync();
  // Keeps the password where libpq looks for it, checks the login with the
  // server, saves the address with the sites and syncs.
  void Join(const team::TServerAddress& address, const QString& password);
  // The site's record on the server, newest last.
  void FetchLog(const QString& siteUid);
  // The local counts again (after a filing).
  void RefreshState();
  // The window closing: a last sync of what waits, given `limit` in all;
  // whatever still runs then is stopped. Returns once the thread has ended.
  void Finish(std::chrono::milliseconds limit);

 signals:
  void StateChanged();
  // A sync ended; `tookSomething`: the sites here changed.
  void Synced(bool tookSomething);
  void JoinEnded(bool ok, const QString& text);
  void LogReady(const QString& siteUid, const QList<QStringList>& rows, const QString& problem);

 private:
  class TWork;
  // Runs `job` on the worker's thread.
  void Post(std::function<void(TWork&)> job);
  void Publish(const TTeamState& state);

  TTeamState state_;
  QThread thread_;
  std::unique_ptr<QObject> context_;  // lives on thread_: what jobs are posted to
  std::unique_ptr<TWork> work_;
  std::atomic<bool> stop_{false};
  bool syncQueued_ = false;
  bool finished_ = false;
};

}  // namespace zarvex
