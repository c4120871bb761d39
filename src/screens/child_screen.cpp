#include "screens/child_screen.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QVBoxLayout>

#include "screens/barjon.h"
#include "screens/help_window.h"
#include "screens/look.h"
#include "screens/twips.h"
#include "store/hensuu.h"

namespace kelvora {

QString ScreenCaption(Screen screen) {
  switch (screen) {
    case Screen::Baiyo_Form0_3:
      return QStringLiteral("培養結果記入");
    case Screen::HojyoBaiyo_Form:
      return QStringLiteral("ほ場埋め込みによる培養");
    case Screen::ParaAll_Form:
      return QStringLiteral("パラメータ一覧");
    case Screen::Ondo_Form:
      return QStringLiteral("地温入力");
    case Screen::Suitei_Form:
      return QStringLiteral("窒素無機化の推定");
    case Screen::ParaKekka_Form0_1:
      return QStringLiteral("パラメータ計算結果");
    case Screen::Suitei_Graph:
      return QStringLiteral("窒素無機化推定量");
    case Screen::SupplyPlan:
      return QStringLiteral("窒素供給量の予測");
  }
  return QString();
}

ChildScreen::ChildScreen(const ScreenContext& context, Screen kind, QWidget* parent)
    : QWidget(parent), context_(context), kind_(kind) {
  setWindowTitle(ScreenCaption(kind));
  // F1 opens the help at this screen's chapter while the focus is anywhere
  // on the screen; the "ヘルプ" menu shows the same action.
  helpAction_ = new QAction(QStringLiteral("ヘルプの表示"), this);
  helpAction_->setObjectName(QStringLiteral("Help_Show"));
  helpAction_->setShortcut(QKeySequence(Qt::Key_F1));
  helpAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(helpAction_);
  connect(helpAction_, &QAction::triggered, this, [this] { ShowHelp(this, HelpChapter(kind_)); });
}

bool ChildScreen::QueryClose() {
  TakeCascadeBack();
  return true;
}

bool ChildScreen::CloseScreen() {
  if (auto* frame = qobject_cast<ChildFrame*>(parentWidget())) return frame->close();
  if (!QueryClose()) return false;
  close();
  return true;
}

void ChildScreen::TakeCascadeBack() { kelvora::TakeCascadeBack(Store()); }

QMenu* ChildScreen::MakeHelpMenu() {
  auto* menu = new QMenu(QStringLiteral("ヘルプ"), this);
  menu->setObjectName(QStringLiteral("Help"));
  menu->addAction(helpAction_);
  QAction* version = menu->addAction(QStringLiteral("バージョン情報"));
  version->setObjectName(QStringLiteral("Barjon_Show"));
  connect(version, &QAction::triggered, this, [this] { ShowBarjon(this, context_.dataDir); });
  return menu;
}

ChildFrame::ChildFrame(ChildScreen* screen) : screen_(screen) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWidget(screen);
  setWindowTitle(screen->windowTitle());
  setWindowIcon(ProgramIcon());
  connect(this, &QMdiSubWindow::windowStateChanged, this,
          [this](Qt::WindowStates before, Qt::WindowStates now) {
            if (now.testFlag(Qt::WindowActive) && !before.testFlag(Qt::WindowActive)) {
              screen_->Activated();
            }
          });
}

void ChildFrame::closeEvent(QCloseEvent* event) {
  if (!screen_->QueryClose()) {
    event->ignore();
    return;
  }
  emit Closed(screen_->Kind());
  QMdiSubWindow::closeEvent(event);
}

}  // namespace kelvora
