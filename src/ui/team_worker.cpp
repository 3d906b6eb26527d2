#include "ui/team_worker.h"

#include <QDeadlineTimer>
#include <functional>

#include "settings/russian_plural.h"
#include "sites/database_path.h"
#include "sites/field_changes.h"
#include "sites/site_store.h"
#include "sites/utc_time.h"
#include "team/team_join.h"
#include "team/team_sync.h"

namespace zarvex {

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// The failure as the status line tells it, and what it says of the server.
void Record(TTeamState& s, const std::exception& e, TTeamState::Reach reach) {
  s.problem = Q(e.what());
  s.reach = reach;
}

}  // namespace

QString TeamStatusText(const TTeamState& s) {
  if (!s.joined) return QStringLiteral("Сервер компании не подключён");
  QString text = s.lastSync.isEmpty()
                     ? QStringLiteral("Ещё не синхронизировано")
                     : QStringLiteral("Синхронизировано %1").arg(Q(sites::LocalText(s.lastSync.toStdString())));
  const int waiting = s.changesWaiting + s.snapshotsWaiting;
  text += waiting == 0 ? QStringLiteral("; всё отправлено")
                       : QStringLiteral("; ждут отправки: %1, %2")
                             .arg(Q(Counted(s.changesWaiting, "изменение", "изменения", "изменений")),
                                  Q(Counted(s.snapshotsWaiting, "снимок", "снимка", "снимков")));
  if (s.refused > 0) {
    text += QStringLiteral("; сервер не принял %1: %2").arg(s.refused).arg(s.refusedReason);
  }
  switch (s.reach) {
    case TTeamState::Reach::Reachable: text += QStringLiteral("; сервер доступен"); break;
    case TTeamState::Reach::Unreachable: text += QStringLiteral("; сервер недоступен"); break;
    case TTeamState::Reach::Refused: text += QStringLiteral("; сервер отказал"); break;
    case TTeamState::Reach::Unknown: break;
  }
  if (s.syncing) text += QStringLiteral("; синхронизация…");
  return text;
}

// Lives on the worker's thread: its own connection to the site database,
// opened at first use and kept (its check of the file runs once).
class TTeamWorker::TWork {
 public:
  TWork(std::string path, const std::atomic<bool>* stop) : path_(std::move(path)), stop_(stop) {}

  sites::TSiteStore& Store() {
    if (!store_) {
      sites::TStoreOptions options;
      options.stop.flag = stop_;
      // The window's own connection keeps the daily copies.
      options.dailyBackups = 0;
      store_ = std::make_unique<sites::TSiteStore>(path_, options);
    }
    return *store_;
  }

  // The local counts and address; `s` keeps what the last exchange found.
  void Count(TTeamState& s) {
    try {
      sites::TSiteStore& store = Store();
      const team::TServerAddress a = team::ServerAddress(store);
      const team::TSyncStatus status = team::SyncStatus(store);
      s.joined = !a.host.empty();
      s.address = a;
      s.server = s.joined ? Q(a.host + ":" + a.port + "/" + a.database + " (" + a.user + ")") : QString();
      s.lastSync = Q(status.lastSync);
      s.changesWaiting = status.changesWaiting;
      s.snapshotsWaiting = status.snapshotsWaiting;
      s.refused = static_cast<int>(status.refused.size());
      s.refusedReason = status.refused.empty() ? QString() : Q(status.refused.front().second);
      if (s.problem.isEmpty()) s.problem = Q(status.lastProblem);
    } catch (const std::exception& e) {
      // Another program holds the database, or it cannot be used: told, and
      // the next sync tries again.
      s.problem = Q(e.what());
    }
  }

  // True when something came in.
  bool SyncOnce(TTeamState& s, std::chrono::seconds deadline) {
    bool took = false;
    try {
      sites::TSiteStore& store = Store();
      const team::TServerAddress a = team::ServerAddress(store);
      if (a.host.empty()) return false;
      team::TPgConnection server(team::ConnInfo(a, deadline), stop_);
      const team::TSyncReport r = team::Sync(store, server);
      took = r.sitesTaken + r.changesTaken + r.snapshotsTaken > 0;
      s.reach = TTeamState::Reach::Reachable;
      s.problem.clear();
    } catch (const team::TeamForbidden& e) {
      Record(s, e, TTeamState::Reach::Refused);
    } catch (const team::TeamUnreachable& e) {
      Record(s, e, TTeamState::Reach::Unreachable);
    } catch (const std::exception& e) {
      Record(s, e, s.reach);
    }
    return took;
  }

 private:
  std::string path_;
  const std::atomic<bool>* stop_;
  std::unique_ptr<sites::TSiteStore> store_;
};

TTeamWorker::TTeamWorker(QString databasePath, QObject* parent)
    : QObject(parent), work_(std::make_unique<TWork>(databasePath.toStdString(), &stop_)) {
  thread_.setObjectName(QStringLiteral("team sync"));
  context_ = std::make_unique<QObject>();
  context_->moveToThread(&thread_);
  thread_.start();
  RefreshState();
}

TTeamWorker::~TTeamWorker() { Finish(std::chrono::milliseconds(0)); }

void TTeamWorker::Post(std::function<void(TWork&)> job) {
  if (finished_) return;
  QMetaObject::invokeMethod(context_.get(), [this, job = std::move(job)] { job(*work_); }, Qt::QueuedConnection);
}

void TTeamWorker::Publish(const TTeamState& state) {
  // Delivered on the window's thread.
  QMetaObject::invokeMethod(
      this,
      [this, state] {
        const bool syncing = state_.syncing;
        state_ = state;
        state_.syncing = syncing;
        emit StateChanged();
      },
      Qt::QueuedConnection);
}

void TTeamWorker::RefreshState() {
  const TTeamState base = state_;
  Post([this, base](TWork& w) {
    TTeamState s = base;
    w.Count(s);
    Publish(s);
  });
}

void TTeamWorker::Sync() {
  if (state_.syncing) {
    syncQueued_ = true;
    return;
  }
  state_.syncing = true;
  emit StateChanged();
  const TTeamState base = state_;
  Post([this, base](TWork& w) {
    TTeamState s = base;
    s.problem.clear();
    const bool took = w.SyncOnce(s, std::chrono::seconds(15));
    w.Count(s);
    s.syncing = false;
    QMetaObject::invokeMethod(
        this,
        [this, s, took] {
          state_ = s;
          emit StateChanged();
          emit Synced(took);
          if (syncQueued_) {
            syncQueued_ = false;
            Sync();
          }
        },
        Qt::QueuedConnection);
  });
}

void TTeamWorker::Join(const team::TServerAddress& address, const QString& password) {
  const std::string secret = password.toStdString();
  Post([this, address, secret](TWork& w) {
    bool ok = false;
    QString text;
    try {
      const team::TTechnicianLogin me =
          team::JoinServer(w.Store(), address, secret.empty() ? nullptr : &secret, &stop_);
      ok = true;
      text = QStringLiteral("Подключено: %1, филиал «%2», роль %3").arg(Q(me.login), Q(me.branch), Q(me.role));
      if (!me.seesCodes) text += QStringLiteral("; коды клавиатуры этой роли не видны");
    } catch (const std::exception& e) {
      text = Q(e.what());
    }
    TTeamState s;
    w.Count(s);
    QMetaObject::invokeMethod(
        this,
        [this, ok, text, s] {
          state_ = s;
          emit StateChanged();
          emit JoinEnded(ok, text);
          if (ok) Sync();
        },
        Qt::QueuedConnection);
  });
}

void TTeamWorker::FetchLog(const QString& siteUid) {
  const std::string uid = siteUid.toStdString();
  Post([this, uid, siteUid](TWork& w) {
    QList<QStringList> rows;
    QString problem;
    try {
      const team::TServerAddress a = team::ServerAddress(w.Store());
      if (a.host.empty()) throw team::TeamError("Этот компьютер не подключён к серверу компании");
      team::TPgConnection server(team::ConnInfo(a), &stop_);
      for (const team::TSiteLogEntry& e : team::SiteLog(server, uid)) {
        // The field as the site's page names it.
        const int index = sites::FieldByWords(e.field);
        const std::string field = index < 0 ? e.field : sites::kSiteFieldWords[index];
        rows.append({Q(sites::LocalText(e.received)), Q(e.technician), Q(e.laptop), Q(field), Q(e.value),
                     Q(e.pushedBy)});
      }
    } catch (const std::exception& e) {
      problem = Q(e.what());
    }
    QMetaObject::invokeMethod(
        this, [this, siteUid, rows, problem] { emit LogReady(siteUid, rows, problem); }, Qt::QueuedConnection);
  });
}

void TTeamWorker::Finish(std::chrono::milliseconds limit) {
  if (finished_) return;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
  if (seconds.count() > 0) {
    // Only when something waits to go; sending comes first, and a pull the
    // limit cuts goes on at the next start.
    Post([seconds](TWork& w) {
      TTeamState s;
      w.Count(s);
      if (s.joined && s.changesWaiting + s.snapshotsWaiting > 0) w.SyncOnce(s, seconds);
    });
  }
  finished_ = true;
  QMetaObject::invokeMethod(context_.get(), [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
  if (!thread_.wait(QDeadlineTimer(limit.count()))) {
    stop_ = true;
    thread_.wait();
  }
}

}  // namespace zarvex
