// Reads a temperature file for "地温ファイルの読込" on a worker thread: the
// screen keeps painting, and when the reading takes more than a moment a
// progress window with "中止" appears. The user-interface thread never waits
// for the worker (it runs its event loop until the worker posts its end), and
// the worker never waits for the user-interface thread.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>

#include "store/temperature_import.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelvora {

// The progress window: what is being done, a bar and "中止".
class TemperatureFileProgress : public QDialog {
  Q_OBJECT

 public:
  TemperatureFileProgress(const QString& fileName, QWidget* owner);

  QLabel* const Label1;
  QProgressBar* const Bar;
  QPushButton* const CommandStop;  // "中止"

  void SetStage(LoadStage stage);
  bool StopRequested() const { return stopRequested_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool stopRequested_ = false;
};

class TemperatureFileLoader {
 public:
  // How long a reading may take before the progress window appears.
  int showAfterMs = 400;
  // Called once the progress window is shown (tests press "中止" there).
  std::function<void(TemperatureFileProgress&)> onProgressShown;

  // The file read, split and guessed; nothing when the user pressed "中止".
  std::optional<TemperatureFileLoad> Load(QWidget* owner, const std::filesystem::path& path);

  // Whether the last worker stopped before it had read the whole file.
  bool StoppedEarly() const { return stoppedEarly_; }

 private:
  bool stoppedEarly_ = false;
};

}  // namespace kelvora
