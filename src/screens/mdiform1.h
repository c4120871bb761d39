// "ケルボラ１": the main window. It runs start-up (splash, data files, the
// first screen) and shut-down (closing every screen, the save question), holds
// the task buttons, and places the child screens in a cascade.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QSize>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "kinetics/fit_session.h"
#include "screens/baiyo_form0_3.h"
#include "screens/child_screen.h"

class QAction;
class QMdiArea;
class QMenu;

namespace kelvora {

class Dialogs;
class FitRunner;
class PrinterSystem;
class PrintState;
class PriFrm_Select;
class RecoveryKeeper;
class hensuu;

class MDIForm1 : public QMainWindow, public Navigation {
  Q_OBJECT

 public:
  // Creates the screen's widget (its load handler runs in its constructor).
  using ScreenFactory = std::function<ChildScreen*(const ScreenContext& context)>;
  // Runs the deletion dialog for Store().DeleteKind, modally over `owner`.
  using DeletionDialog = std::function<void(QWidget* owner)>;

  // `printers` is the system's printers when nullptr.
  MDIForm1(hensuu& store, std::filesystem::path dataDir, Dialogs& dialogs,
           QWidget* parent = nullptr, PrinterSystem* printers = nullptr);
  ~MDIForm1() override;

  hensuu& Store() const { return store_; }
  // The state of the current fit, shared by the fit and the results screen.
  FitSession& Session() { return session_; }
  // Runs fits from the screens.
  FitRunner& Runner() const { return *runner_; }
  const std::filesystem::path& DataDir() const { return dataDir_; }
  // The printers and the current printer of the run.
  PrintState& Printing() const { return *printing_; }
  // The print selection window while it is open.
  PriFrm_Select* PrintSelection() const;
  Dialogs& GetDialogs() const { return dialogs_; }
  // What the screens are built with: the above and this window's navigation.
  ScreenContext Context();

  // Controls.
  QMdiArea* const MdiArea;
  QWidget* const Picture1;
  QPushButton* const Command1;  // "パラメータ計算"
  QPushButton* const Command6;  // "ほ場埋設"
  QPushButton* const Command2;  // "パラメータ一覧"
  QPushButton* const Command4;  // "地温入力"
  QPushButton* const Command5;  // "無機化推定"
  QPushButton* const Command7;  // "窒素供給量": the nitrogen supply plan
  QPushButton* const Command3;  // "終了"
  QMenu* const Help;
  QAction* const Help_Show;
  QAction* const Barjon_Show;
  QAction* const DataFolder_Show;  // "データフォルダを開く" (between the two above)

  // The load handler: splash, the folder lock, LoadDataFiles, the offer of a
  // recovery copy left by an earlier run, the incubation screen at the
  // top-left corner, splash closed. Shows the main window. False (nothing
  // loaded, nothing shown) when another running program uses the data folder:
  // the program ends.
  bool Startup();
  // Copies the unsaved tables into the data folder's recovery folder.
  RecoveryKeeper& Recovery() const { return *recovery_; }

  // Replaces how a screen is created (the screens not built yet open a plain
  // window with their caption).
  void SetScreenFactory(Screen screen, ScreenFactory factory);
  void SetDeletionDialog(DeletionDialog dialog) { deletionDialog_ = std::move(dialog); }
  // Runs the deletion dialog; false when there is none yet.
  bool RunDeletionDialog(QWidget* owner) override;
  void ShowPrintSelection() override;
  // Handed to every incubation screen for "⑦ パラメータ算出" (also to the
  // one open now).
  void SetBaiyoFitHook(Baiyo_Form0_3::FitHook hook);

  // Navigation.
  ChildScreen* OpenChildScreen(Screen screen, CascadeOrder order = CascadeOrder::LoadFirst,
                               QSize sizeTwips = QSize()) override;
  ChildScreen* FindScreen(Screen screen) const override;
  bool CloseChildScreen(Screen screen) override;
  ChildFrame* FrameOf(Screen screen) const;
  // Closes every open screen; false when one of them stayed open.
  bool CloseAllChildScreens();

  // Buttons and menus.
  void Command1_Click();
  void Command6_Click();
  void Command2_Click();
  void Command4_Click();
  void Command5_Click();
  void Command7_Click();
  void Command3_Click();
  void Help_Show_Click();
  void Barjon_Show_Click();
  // Opens the data folder in the file manager; says so when that fails.
  void DataFolder_Show_Click();

 signals:
  // The main window has closed: the program ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // A window that grows, or a work area that shrinks, keeps the windows inside.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ChildFrame* LoadScreen(Screen screen);
  void PlaceScreen(ChildFrame* frame, int offsetTwips);
  // Moves a window up and left (and makes it smaller, not below its minimum)
  // so that it lies inside the visible part of the work area.
  void KeepInside(ChildFrame* frame);
  void ShowScreen(ChildFrame* frame);
  void LayoutPicture1();
  void ShowFileMessages(const std::vector<std::string>& messages);

  hensuu& store_;
  std::filesystem::path dataDir_;
  Dialogs& dialogs_;
  FitSession session_;
  FitRunner* runner_;
  RecoveryKeeper* recovery_;
  std::unique_ptr<PrinterSystem> systemPrinters_;
  std::unique_ptr<PrintState> printing_;
  QPointer<PriFrm_Select> printSelection_;
  std::map<Screen, ScreenFactory> factories_;
  std::map<Screen, QPointer<ChildFrame>> open_;
  DeletionDialog deletionDialog_;
  Baiyo_Form0_3::FitHook baiyoFitHook_;
  bool closed_ = false;
};

}  // namespace kelvora
