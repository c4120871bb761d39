// Guards the data folder for the main window: takes the folder lock at
// start-up, offers a recovery copy left by a run that did not end normally,
// copies every change of the tables into the recovery folder while the
// program runs (taken on this thread, written on a worker), and removes the
// copy at a normal exit.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <thread>

#include "store/folder_lock.h"
#include "store/recovery.h"

class QWidget;

namespace kelvora {

class Dialogs;
class hensuu;

class RecoveryKeeper : public QObject {
  Q_OBJECT

 public:
  // How often the tables are looked at for changes.
  static constexpr int kIntervalMs = 500;

  RecoveryKeeper(hensuu& store, std::filesystem::path dataDir, Dialogs& dialogs,
                 QObject* parent = nullptr);
  ~RecoveryKeeper() override;

  // Before the data files are read: takes the folder for this run. False when
  // another running program uses it or the lock cannot be taken at all (the
  // user has been told; the program ends, nothing read or written).
  bool TakeFolder(QWidget* parent);
  // After the data files have been read: removes what interrupted copies
  // left; when a copy of an earlier run is there, asks whether to restore it,
  // saying when it was taken and warning when its note does not vouch for
  // it (a folder that is a link or another user's is not offered but moved
  // aside). Yes puts the copy's tables in place of
  // the files' (the copy stays until the next normal exit); no renames the
  // copy aside with its date and time.
  void OfferRestore(QWidget* parent);
  // Starts copying the changes of the tables.
  void Start();
  // Normal exit: stops copying, waits for a write under way, removes the copy
  // (unless `keepCopy`) and frees the folder.
  void Finish(bool keepCopy = false);

  // True when every change has been written (tests wait for it).
  bool Idle() const;

 private:
  void Tick();
  void ShowProblem(const FileMessages& messages);

  hensuu& store_;
  std::filesystem::path dataDir_;
  Dialogs& dialogs_;
  RunInfo run_ = RunInfo::ThisRun();
  FolderLock lock_;
  RecoveryState state_;
  QTimer timer_;
  bool started_ = false;
  bool warned_ = false;
  qint64 retryAt_ = 0;  // msecs since epoch; no write before after a failure

  // The write under way: the worker reads inFlight_ and sets result_, then
  // done_; this thread touches them again only after done_.
  std::thread worker_;
  std::atomic<bool> done_{false};
  std::atomic<bool> stop_{false};
  RecoverySnapshot inFlight_;
  RecoveryWriteResult result_;
};

}  // namespace kelvora
