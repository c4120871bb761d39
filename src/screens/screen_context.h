// What every screen is handed when it is built: the data store, the dialogs,
// the data folder, the fit runner and the state of the current fit, and the
// navigation between screens. The main window provides them in the program;
// a test provides its own, so that a screen can be built without the main
// window.
#pragma once

#include <QObject>
#include <QSize>
#include <cstdint>
#include <filesystem>

class QWidget;

namespace kelvora {

class ChildScreen;
class Dialogs;
class FitRunner;
class PrintState;
class hensuu;
struct FitSession;

// The child screens of the main window. Each exists at most once.
enum class Screen {
  Baiyo_Form0_3,      // "培養結果記入"
  HojyoBaiyo_Form,    // "ほ場埋め込みによる培養"
  ParaAll_Form,       // "パラメータ一覧"
  Ondo_Form,          // "地温入力"
  Suitei_Form,        // "窒素無機化の推定"
  ParaKekka_Form0_1,  // "パラメータ計算結果"
  Suitei_Graph,       // "窒素無機化推定量"
  SupplyPlan,         // "窒素供給量の予測"
};

// Opening, finding and closing the child screens.
class Navigation {
 public:
  // Whether a screen is loaded before or after the cascade step.
  enum class CascadeOrder { LoadFirst, StepFirst };

  virtual ~Navigation() = default;

  // The cascade step (CascadeForward); the screen is loaded if it is not
  // open, placed at the offset and shown in front. `sizeTwips`, when valid,
  // sets the window's width and height.
  virtual ChildScreen* OpenChildScreen(Screen screen, CascadeOrder order = CascadeOrder::LoadFirst,
                                       QSize sizeTwips = QSize()) = 0;
  // The open screen, or nullptr.
  virtual ChildScreen* FindScreen(Screen screen) const = 0;
  // Closes an open screen (its close handler runs). False when it stayed.
  virtual bool CloseChildScreen(Screen screen) = 0;
  // Runs the deletion dialog for the store's DeleteKind modally over
  // `owner`; false when there is none.
  virtual bool RunDeletionDialog(QWidget* owner) = 0;
  // Shows the print selection window for the store's PrintKind, without
  // waiting (a window left open from before is replaced).
  virtual void ShowPrintSelection() = 0;

  template <typename T>
  T* Find(Screen screen) const {
    return qobject_cast<T*>(FindScreen(screen));
  }
};

struct ScreenContext {
  hensuu& store;
  Dialogs& dialogs;
  std::filesystem::path dataDir;
  Navigation& navigation;
  // Runs fits from the screens; nullptr where none can run.
  FitRunner* runner = nullptr;
  // The state of the current fit, read by the results screen.
  FitSession* session = nullptr;
  // The printers and the current one; nullptr where nothing can print.
  PrintState* printing = nullptr;
};

// WindowCascadeOffset of the next opened window: 500 twips further along the
// diagonal, 3000 wrapping to 0.
int16_t CascadeForward(int16_t offset);
// WindowCascadeOffset after a window closed: 500 twips back, not below 0.
int16_t CascadeBack(int16_t offset);
// Both applied to the store.
void StepCascadeForward(hensuu& store);
void TakeCascadeBack(hensuu& store);

}  // namespace kelvora
