// The child screens of the main window: the common base of every screen and
// the frame that holds one inside the main window's work area.
#pragma once

#include <QMdiSubWindow>
#include <QWidget>

#include "screens/screen_context.h"

class QAction;
class QMenu;

namespace kelvora {

// Window caption of a screen.
QString ScreenCaption(Screen screen);

class ChildScreen : public QWidget {
  Q_OBJECT

 public:
  ChildScreen(const ScreenContext& context, Screen kind, QWidget* parent = nullptr);

  Screen Kind() const { return kind_; }
  const ScreenContext& Context() const { return context_; }
  hensuu& Store() const { return context_.store; }
  Dialogs& GetDialogs() const { return context_.dialogs; }

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

  // Run whenever the screen's window becomes the active one: a screen whose
  // lists mirror tables brings them in step with changes made elsewhere.
  virtual void Activated() {}

 protected:
  // The "ヘルプ" menu: "ヘルプの表示" (F1 on child screens) and "バージョン情報".
  QMenu* MakeHelpMenu();

 private:
  ScreenContext context_;
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

}  // namespace kelvora
