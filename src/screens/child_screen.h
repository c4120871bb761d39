// The child screens of the main window: the common base of every screen and
// the frame that holds one inside the main window's work area.
#pragma once

#include <QMdiSubWindow>
#include <QWidget>

class QAction;
class QMenu;

namespace kelvora {

class MDIForm1;
class Dialogs;
class hensuu;

// The child screens the main window knows. Each exists at most once.
enum class Screen {
  Baiyo_Form0_3,      // "培養結果記入"
  HojyoBaiyo_Form,    // "ほ場埋め込みによる培養"
  ParaAll_Form,       // "パラメータ一覧"
  Ondo_Form,          // "地温入力"
  Suitei_Form,        // "窒素無機化の推定"
  ParaKekka_Form0_1,  // "パラメータ計算結果"
};

// Window caption of a screen.
QString ScreenCaption(Screen screen);

class ChildScreen : public QWidget {
  Q_OBJECT

 public:
  ChildScreen(MDIForm1& host, Screen kind, QWidget* parent = nullptr);

  Screen Kind() const { return kind_; }
  MDIForm1& Host() const { return host_; }
  hensuu& Store() const;
  Dialogs& GetDialogs() const;

  // The screen's close handler, run whenever the screen closes (its own
  // "終了", its close box, another screen closing it, or the main window
  // shutting down). Returning false keeps the screen open; a screen does so
  // only when its edits could not be applied, after telling the user why.
  // This default takes the cascade back.
  virtual bool QueryClose();

  // Closes the screen's window (running QueryClose). False when it stayed.
  bool CloseScreen();

  // Takes WindowCascadeOffset back by 500 twips (not below 0).
  void TakeCascadeBack();

 protected:
  // The "ヘルプ" menu: "ヘルプの表示" (F1 on child screens) and "バージョン情報".
  QMenu* MakeHelpMenu();

 private:
  MDIForm1& host_;
  Screen kind_;
  QAction* helpAction_ = nullptr;  // "ヘルプの表示", F1
};

// The window of a child screen inside the main window's work area.
class ChildFrame : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit ChildFrame(ChildScreen* screen);
  ChildScreen* ScreenWidget() const { return screen_; }

 signals:
  // The screen agreed to close; the window goes away next.
  void Closed(kelvora::Screen screen);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  ChildScreen* screen_;
};

// A screen that is not built yet: its caption, a short note and "終了".
class PlainChildScreen : public ChildScreen {
  Q_OBJECT

 public:
  PlainChildScreen(MDIForm1& host, Screen kind, QWidget* parent = nullptr);
};

}  // namespace kelvora
