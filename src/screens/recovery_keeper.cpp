#include "screens/recovery_keeper.h"

#include <QDateTime>
#include <QStringList>
#include <QWidget>

#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "store/hensuu.h"

namespace kelvora {
namespace fs = std::filesystem;

namespace {
// After a failed write, the next try waits this long.
constexpr qint64 kRetryMs = 10000;

QString Lines(const FileMessages& messages) {
  QStringList lines;
  for (const std::string& m : messages) lines << Q(m);
  return lines.join(QStringLiteral("\n\n"));
}
}  // namespace

RecoveryKeeper::RecoveryKeeper(hensuu& store, fs::path dataDir, Dialogs& dialogs, QObject* parent)
    : QObject(parent), store_(store), dataDir_(std::move(dataDir)), dialogs_(dialogs) {
  timer_.setInterval(kIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::Tick);
}

RecoveryKeeper::~RecoveryKeeper() {
  timer_.stop();
  stop_.store(true);
  if (worker_.joinable()) worker_.join();
}

bool RecoveryKeeper::TakeFolder(QWidget* parent) {
  std::error_code ec;
  fs::create_directories(dataDir_, ec);  // loading makes it anyway; the lock lives in it
  if (!fs::is_directory(dataDir_, ec)) return true;  // loading reports the folder
  std::string detail;
  switch (lock_.Take(dataDir_, detail)) {
    case FolderLock::Result::Taken:
      return true;
    case FolderLock::Result::InUse: {
      QString who =
          detail.empty()
              ? QStringLiteral("別に起動しているケルボラ１")
              : QStringLiteral("別に起動しているケルボラ１（プロセス番号 %1）").arg(Q(detail));
      dialogs_.Message(parent, kTitleCaution,
                       QStringLiteral("データフォルダ「%1」は、%2が使用中です。\n"
                                      "プログラムを終了します。")
                           .arg(Q(dataDir_.string()), who),
                       Dialogs::Icon::Warning);
      return false;
    }
    case FolderLock::Result::Failed:
      // Without the lock another program may be using the folder: nothing
      // is read or written, the program ends.
      dialogs_.Message(parent, kTitleCaution,
                       QStringLiteral("データフォルダ「%1」を使用中にできませんでした。\n理由: %2\n"
                                      "プログラムを終了します。")
                           .arg(Q(dataDir_.string()), Q(detail)),
                       Dialogs::Icon::Warning);
      return false;
  }
  return false;
}

void RecoveryKeeper::OfferRestore(QWidget* parent) {
  state_.StartFromDataFiles(store_);
  // What interrupted copies left: never offered, never carried aside.
  RemoveRecoveryLeftovers(dataDir_);
  const RecoveryCopyInfo info = InspectRecoveryCopy(dataDir_);
  if (!info.exists) return;
  if (!info.folderProblem.empty()) {
    // Not the program's own folder (a link, another user's): never read or
    // written; moved aside (a link is moved itself) so that this run makes
    // its own.
    std::string reason;
    std::optional<fs::path> aside = SetRecoveryCopyAside(dataDir_, reason);
    QString text = QStringLiteral("復旧用フォルダ「%1」は使用できないため、復元しません（%2）。")
                       .arg(Q((dataDir_ / kRecoveryFolder).string()), Q(info.folderProblem));
    text += aside ? QStringLiteral("\n「%1」として残してあります。").arg(Q(aside->string()))
                  : QStringLiteral("\n移動もできませんでした（%1）。").arg(Q(reason));
    dialogs_.Message(parent, kTitleCaution, text, Dialogs::Icon::Warning);
    return;
  }
  QString question = QStringLiteral("前回、保存されずに終了したデータがあります。復元しますか");
  question += QStringLiteral("\n\n控えの日時: %1").arg(Q(info.taken));
  if (!info.warning.empty()) {
    question += QStringLiteral(
                    "\n\n注意: この控えは、このデータフォルダでケルボラ１が作成したものと"
                    "確認できません（%1）。\n復元する場合は、内容を確かめてから保存して下さい。")
                    .arg(Q(info.warning));
  }
  if (dialogs_.YesNo(parent, kTitleCaution, question)) {
    FileMessages problems = ReadRecoveryCopy(store_, dataDir_);
    if (problems.empty()) {
      state_.StartFromCopy(store_);
      return;
    }
    std::string reason;
    std::optional<fs::path> aside = SetRecoveryCopyAside(dataDir_, reason);
    problems.push_back(aside ? "復旧用の控えは「" + aside->string() + "」として残してあります。"
                             : "復旧用の控えを移動できませんでした（" + reason + "）。");
    problems.push_back("データファイルの内容で始めます。");
    dialogs_.Message(parent, kTitleCaution, Lines(problems), Dialogs::Icon::Warning);
    return;
  }
  std::string reason;
  if (!SetRecoveryCopyAside(dataDir_, reason)) {
    dialogs_.Message(parent, kTitleCaution,
                     QStringLiteral("復旧用の控え「%1」を移動できませんでした。\n理由: %2")
                         .arg(Q((dataDir_ / kRecoveryFolder).string()), Q(reason)),
                     Dialogs::Icon::Warning);
  }
}

void RecoveryKeeper::Start() {
  started_ = true;
  timer_.start();
}

bool RecoveryKeeper::Idle() const {
  return !worker_.joinable() && (!started_ || !state_.Pending(store_));
}

void RecoveryKeeper::Tick() {
  if (worker_.joinable()) {
    // One write at a time: changes made meanwhile go with the next one.
    if (!done_.load(std::memory_order_acquire)) return;
    worker_.join();
    state_.Written(inFlight_, result_);
    inFlight_ = RecoverySnapshot();
    if (!result_.messages.empty()) {
      retryAt_ = QDateTime::currentMSecsSinceEpoch() + (result_.folderMissing ? 0 : kRetryMs);
      if (!result_.folderMissing) ShowProblem(result_.messages);
      return;
    }
  }
  if (QDateTime::currentMSecsSinceEpoch() < retryAt_) return;
  if (!state_.Pending(store_)) return;
  inFlight_ = state_.TakeSnapshot(store_);
  result_ = RecoveryWriteResult();
  done_.store(false, std::memory_order_relaxed);
  worker_ = std::thread([this] {
    result_ = WriteSnapshot(dataDir_, run_, inFlight_, &stop_);
    done_.store(true, std::memory_order_release);
  });
}

void RecoveryKeeper::ShowProblem(const FileMessages& messages) {
  if (warned_) return;
  warned_ = true;
  FileMessages lines = messages;
  lines.push_back(
      "保存されていないデータの控えを作成できません。"
      "作業内容はこまめにファイル保存して下さい。");
  // Shown once the timer's turn is over: the message box runs its own loop.
  QString text = Lines(lines);
  QMetaObject::invokeMethod(
      this,
      [this, text] {
        auto* owner = qobject_cast<QWidget*>(parent());
        dialogs_.Message(owner, kTitleCaution, text, Dialogs::Icon::Warning);
      },
      Qt::QueuedConnection);
}

void RecoveryKeeper::Finish(bool keepCopy) {
  timer_.stop();
  // A copy about to be removed need not be finished first.
  if (!keepCopy) stop_.store(true);
  if (worker_.joinable()) worker_.join();
  stop_.store(false);
  if (keepCopy && started_) {
    // The copy must hold the tables as they are now.
    if (state_.Pending(store_)) {
      RecoverySnapshot s = state_.TakeSnapshot(store_);
      state_.Written(s, WriteSnapshot(dataDir_, run_, s));
    }
  } else {
    std::string reason;
    RemoveRecoveryCopy(dataDir_, reason);
  }
  started_ = false;
  lock_.Release();
}

}  // namespace kelvora
