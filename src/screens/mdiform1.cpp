#include "screens/mdiform1.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStringList>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "print/prifrm_select.h"
#include "print/printers.h"
#include "screens/barjon.h"
#include "screens/delfrm_select.h"
#include "screens/dialogs.h"
#include "screens/fit_runner.h"
#include "screens/frmsplash.h"
#include "screens/help_window.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/look.h"
#include "screens/ondo_form.h"
#include "screens/paraall_form.h"
#include "screens/parakekka_form0_1.h"
#include "screens/qtext.h"
#include "screens/recovery_keeper.h"
#include "screens/suitei_form.h"
#include "screens/suitei_graph.h"
#include "screens/supply_plan_form.h"
#include "screens/twips.h"
#include "store/data_files.h"
#include "store/hensuu.h"

namespace kelvora {

namespace {

// Picture1: the strip of task buttons along the top edge.
constexpr int kStripHeightTwips = 615;
constexpr int kButtonWidthTwips = 1335;
constexpr int kSuiteiWidthTwips = 13605;
constexpr int kSuiteiHeightTwips = 9660;
constexpr int kSupplyWidthTwips = 18600;
constexpr int kSupplyHeightTwips = 10200;

QPushButton* TaskButton(const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

}  // namespace

MDIForm1::MDIForm1(hensuu& store, std::filesystem::path dataDir, Dialogs& dialogs, QWidget* parent,
                   PrinterSystem* printers)
    : QMainWindow(parent),
      MdiArea(new QMdiArea(this)),
      Picture1(new QWidget(this)),
      Command1(TaskButton(QStringLiteral("パラメータ計算"), Picture1)),
      Command6(TaskButton(QStringLiteral("ほ場埋設"), Picture1)),
      Command2(TaskButton(QStringLiteral("パラメータ一覧"), Picture1)),
      Command4(TaskButton(QStringLiteral("地温入力"), Picture1)),
      Command5(TaskButton(QStringLiteral("無機化推定"), Picture1)),
      Command7(TaskButton(QStringLiteral("窒素供給量"), Picture1)),
      Command3(TaskButton(QStringLiteral("終了"), Picture1)),
      Help(menuBar()->addMenu(QStringLiteral("ヘルプ"))),
      Help_Show(Help->addAction(QStringLiteral("ヘルプの表示"))),
      Barjon_Show(Help->addAction(QStringLiteral("バージョン情報"))),
      DataFolder_Show(new QAction(QStringLiteral("データフォルダを開く"), this)),
      store_(store),
      dataDir_(std::move(dataDir)),
      dialogs_(dialogs),
      runner_(new FitRunner(*this)),
      recovery_(new RecoveryKeeper(store, dataDir_, dialogs, this)),
      systemPrinters_(printers ? nullptr : std::make_unique<SystemPrinters>()),
      printing_(std::make_unique<PrintState>(printers ? *printers : *systemPrinters_)) {
  setObjectName(QStringLiteral("MDIForm1"));
  setWindowTitle(QStringLiteral("ケルボラ１"));
  setWindowIcon(ProgramIcon());
  Help->setObjectName(QStringLiteral("Help"));
  Help_Show->setObjectName(QStringLiteral("Help_Show"));
  Barjon_Show->setObjectName(QStringLiteral("Barjon_Show"));
  DataFolder_Show->setObjectName(QStringLiteral("DataFolder_Show"));
  Help->insertAction(Barjon_Show, DataFolder_Show);

  Picture1->setObjectName(QStringLiteral("Picture1"));
  Picture1->setAutoFillBackground(true);
  MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea->setBackground(QColor(171, 171, 171));
  // Closing a window brings back the one that was active before it (the
  // estimation screen after its chart), not the first one opened.
  MdiArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
  MdiArea->viewport()->installEventFilter(this);
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Picture1);
  layout->addWidget(MdiArea, 1);
  setCentralWidget(central);
  LayoutPicture1();

  connect(Command1, &QPushButton::clicked, this, &MDIForm1::Command1_Click);
  connect(Command6, &QPushButton::clicked, this, &MDIForm1::Command6_Click);
  connect(Command2, &QPushButton::clicked, this, &MDIForm1::Command2_Click);
  connect(Command4, &QPushButton::clicked, this, &MDIForm1::Command4_Click);
  connect(Command5, &QPushButton::clicked, this, &MDIForm1::Command5_Click);
  connect(Command7, &QPushButton::clicked, this, &MDIForm1::Command7_Click);
  connect(Command3, &QPushButton::clicked, this, &MDIForm1::Command3_Click);
  connect(Help_Show, &QAction::triggered, this, &MDIForm1::Help_Show_Click);
  // F1 on the task buttons opens the help at the main window's chapter (each
  // child screen has its own F1).
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), Picture1);
  f1->setContext(Qt::WidgetWithChildrenShortcut);
  connect(f1, &QShortcut::activated, this, [this] { ShowHelp(this, kMainHelpChapter); });
  connect(Barjon_Show, &QAction::triggered, this, &MDIForm1::Barjon_Show_Click);
  connect(DataFolder_Show, &QAction::triggered, this, &MDIForm1::DataFolder_Show_Click);

  SetScreenFactory(Screen::Baiyo_Form0_3, [this](const ScreenContext& context) -> ChildScreen* {
    auto* screen = new Baiyo_Form0_3(context);
    screen->OnParameterCalculation = baiyoFitHook_;
    return screen;
  });
  SetScreenFactory(Screen::ParaKekka_Form0_1, [](const ScreenContext& context) -> ChildScreen* {
    return new ParaKekka_Form0_1(context);
  });
  // "データ削除" of every screen: the deletion dialog for the store's
  // DeleteKind.
  SetDeletionDialog(
      [this](QWidget* owner) { RunDeletion(store_, dialogs_, store_.DeleteKind, owner); });
  SetScreenFactory(Screen::ParaAll_Form, [](const ScreenContext& context) -> ChildScreen* {
    return new ParaAll_Form(context);
  });
  SetBaiyoFitHook([this](Baiyo_Form0_3& screen, const Baiyo_Form0_3::FitRequest& request) {
    runner_->StartLabFit(screen, request);
  });
  SetScreenFactory(Screen::Suitei_Form, [](const ScreenContext& context) -> ChildScreen* {
    return new Suitei_Form(context);
  });
  SetScreenFactory(Screen::Suitei_Graph, [](const ScreenContext& context) -> ChildScreen* {
    return Suitei_Graph::FromEstimationScreen(context);
  });
  SetScreenFactory(Screen::Ondo_Form, [](const ScreenContext& context) -> ChildScreen* {
    return new Ondo_Form(context);
  });
  SetScreenFactory(Screen::HojyoBaiyo_Form, [](const ScreenContext& context) -> ChildScreen* {
    return new HojyoBaiyo_Form(context);
  });
  SetScreenFactory(Screen::SupplyPlan, [](const ScreenContext& context) -> ChildScreen* {
    return new SupplyPlanForm(context);
  });
}

// The buttons keep their places and sizes in twips, widened all alike when a
// caption would not fit the font in use.
void MDIForm1::LayoutPicture1() {
  struct Place {
    QPushButton* button;
    int left;
  };
  const Place places[] = {{Command1, 0},    {Command6, 1320}, {Command2, 2640}, {Command4, 3960},
                          {Command5, 5280}, {Command7, 6600}, {Command3, 8880}};
  const int width = TwipsToPixels(kButtonWidthTwips);
  double scale = 1.0;
  int textHeight = 0;
  for (const Place& p : places) {
    QFontMetrics fm(p.button->font());
    int needed = fm.horizontalAdvance(p.button->text()) + 2 * fm.averageCharWidth() + 12;
    scale = std::max(scale, static_cast<double>(needed) / width);
    textHeight = std::max(textHeight, fm.height());
  }
  const int height = std::max(TwipsToPixels(kStripHeightTwips), textHeight + 14);
  const int count = static_cast<int>(std::size(places));
  for (int i = 0; i < count; ++i) {
    int left = static_cast<int>(std::lround(TwipsToPixels(places[i].left) * scale));
    int w = static_cast<int>(std::lround(width * scale));
    // Neighbours touch but never overlap.
    if (i + 1 < count) {
      int next = static_cast<int>(std::lround(TwipsToPixels(places[i + 1].left) * scale));
      w = std::min(w, next - left);
    }
    places[i].button->setGeometry(left, 0, w, height);
  }
  Picture1->setFixedHeight(height);
  Picture1->setMinimumWidth(Command3->geometry().right() + 1);
}

bool MDIForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    if (watched == MdiArea->viewport()) {
      for (auto& [screen, frame] : open_) {
        if (frame && frame->isVisible()) KeepInside(frame);
      }
    } else if (auto* frame = qobject_cast<ChildFrame*>(watched); frame && frame->isVisible()) {
      KeepInside(frame);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MDIForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::FontChange) LayoutPicture1();
}

// --- start-up and shut-down ------------------------------------------------------------

bool MDIForm1::Startup() {
  auto* splash = new frmSplash;
  splash->show();
  QCoreApplication::processEvents();

  if (!recovery_->TakeFolder(splash)) {
    splash->close();
    return false;
  }
  FileMessages messages = LoadDataFiles(store_, dataDir_);
  recovery_->OfferRestore(splash);

  if (QScreen* s = QGuiApplication::primaryScreen()) resize(s->availableGeometry().size());
  showMaximized();
  activateWindow();
  ChildFrame* first = LoadScreen(Screen::Baiyo_Form0_3);
  if (first) {
    PlaceScreen(first, 0);
    ShowScreen(first);
  }
  splash->close();
  ShowFileMessages(messages);
  recovery_->Start();
  return true;
}

void MDIForm1::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  if (!CloseAllChildScreens()) {
    event->ignore();
    return;
  }
  bool saveFailed = false;
  if (dialogs_.YesNo(this, kTitleFileSave, QStringLiteral("データをファイル保存しますか"))) {
    FileMessages messages = SaveDataFiles(store_, dataDir_);
    saveFailed = !messages.empty();
    if (!messages.empty()) {
      QStringList lines;
      for (const std::string& m : messages) lines << QString::fromStdString(m);
      lines << QStringLiteral("保存せずに終了しますか。");
      if (!dialogs_.YesNo(this, kTitleCaution, lines.join(QStringLiteral("\n\n")))) {
        event->ignore();
        return;
      }
    }
  }
  // The recovery copy goes, unless the data the user wanted saved is in it
  // only.
  recovery_->Finish(saveFailed);
  if (printSelection_) printSelection_->close();
  closed_ = true;
  event->accept();
  emit Closed();
}

void MDIForm1::ShowFileMessages(const std::vector<std::string>& messages) {
  if (messages.empty()) return;
  QStringList lines;
  for (const std::string& m : messages) lines << QString::fromStdString(m);
  dialogs_.Message(this, kTitleCaution, lines.join(QStringLiteral("\n\n")), Dialogs::Icon::Warning);
}

// --- child screens ------------------------------------------------------------------------

ScreenContext MDIForm1::Context() {
  return ScreenContext{store_, dialogs_, dataDir_, *this, runner_, &session_, printing_.get()};
}

MDIForm1::~MDIForm1() {
  // The print window goes before the printer state it refers to.
  delete printSelection_.data();
}

PriFrm_Select* MDIForm1::PrintSelection() const { return printSelection_.data(); }

void MDIForm1::ShowPrintSelection() {
  if (printSelection_) {
    printSelection_->close();
    delete printSelection_.data();
  }
  printSelection_ = new PriFrm_Select(store_, dialogs_, *printing_, this);
  printSelection_->setWindowFlag(Qt::Window);
  printSelection_->show();
  printSelection_->raise();
  printSelection_->activateWindow();
}

void MDIForm1::SetScreenFactory(Screen screen, ScreenFactory factory) {
  factories_[screen] = std::move(factory);
}

bool MDIForm1::RunDeletionDialog(QWidget* owner) {
  if (!deletionDialog_) return false;
  deletionDialog_(owner);
  return true;
}

void MDIForm1::SetBaiyoFitHook(Baiyo_Form0_3::FitHook hook) {
  baiyoFitHook_ = std::move(hook);
  if (auto* screen = Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3)) {
    screen->OnParameterCalculation = baiyoFitHook_;
  }
}

ChildFrame* MDIForm1::FrameOf(Screen screen) const {
  auto it = open_.find(screen);
  return it == open_.end() ? nullptr : it->second.data();
}

ChildScreen* MDIForm1::FindScreen(Screen screen) const {
  ChildFrame* frame = FrameOf(screen);
  return frame ? frame->ScreenWidget() : nullptr;
}

ChildFrame* MDIForm1::LoadScreen(Screen screen) {
  if (ChildFrame* frame = FrameOf(screen)) return frame;
  auto it = factories_.find(screen);
  if (it == factories_.end() || !it->second) return nullptr;
  ChildScreen* widget = it->second(Context());
  if (!widget) return nullptr;
  auto* frame = new ChildFrame(widget);
  MdiArea->addSubWindow(frame);
  frame->adjustSize();
  frame->installEventFilter(this);
  open_[screen] = frame;
  connect(frame, &ChildFrame::Closed, this, [this](Screen s) { open_.erase(s); });
  return frame;
}

void MDIForm1::PlaceScreen(ChildFrame* frame, int offsetTwips) {
  int px = TwipsToPixels(offsetTwips);
  frame->move(px, px);
  KeepInside(frame);
}

void MDIForm1::KeepInside(ChildFrame* frame) {
  // The cascade offset and the screens' sizes are meant for a large screen:
  // on a small one every button must still be reachable without maximising.
  const QSize area = MdiArea->viewport()->size();
  if (area.isEmpty() || frame->isMaximized() || frame->isMinimized()) return;
  const QSize least = frame->minimumSizeHint().expandedTo(frame->minimumSize());
  const QSize size(std::max(std::min(frame->width(), area.width()), least.width()),
                   std::max(std::min(frame->height(), area.height()), least.height()));
  if (size != frame->size()) frame->resize(size);
  const int x = std::max(0, std::min(frame->x(), area.width() - size.width()));
  const int y = std::max(0, std::min(frame->y(), area.height() - size.height()));
  if (QPoint(x, y) != frame->pos()) frame->move(x, y);
}

void MDIForm1::ShowScreen(ChildFrame* frame) {
  frame->show();
  frame->raise();
  MdiArea->setActiveSubWindow(frame);
}

ChildScreen* MDIForm1::OpenChildScreen(Screen screen, CascadeOrder order, QSize sizeTwips) {
  ChildFrame* frame = nullptr;
  if (order == CascadeOrder::LoadFirst) {
    frame = LoadScreen(screen);
    StepCascadeForward(store_);
  } else {
    StepCascadeForward(store_);
    frame = LoadScreen(screen);
  }
  if (!frame) return nullptr;
  // A minimised screen opened again comes back as a window first: resized
  // while minimised it would show as an empty frame.
  if (frame->isMinimized()) frame->showNormal();
  PlaceScreen(frame, store_.WindowCascadeOffset);
  if (sizeTwips.isValid()) {
    frame->resize(TwipsToPixels(sizeTwips.width()), TwipsToPixels(sizeTwips.height()));
  }
  ShowScreen(frame);
  // Placed once more now that the shown window has its final size.
  KeepInside(frame);
  return frame->ScreenWidget();
}

bool MDIForm1::CloseChildScreen(Screen screen) {
  ChildFrame* frame = FrameOf(screen);
  return frame ? frame->close() : true;
}

bool MDIForm1::CloseAllChildScreens() {
  std::vector<QPointer<ChildFrame>> frames;
  for (auto& [screen, frame] : open_) frames.push_back(frame);
  bool all = true;
  for (auto& frame : frames) {
    if (frame && !frame->close()) all = false;
  }
  return all;
}

// --- buttons and menus ----------------------------------------------------------------------

void MDIForm1::Command1_Click() { OpenChildScreen(Screen::Baiyo_Form0_3); }
void MDIForm1::Command6_Click() { OpenChildScreen(Screen::HojyoBaiyo_Form); }
void MDIForm1::Command2_Click() { OpenChildScreen(Screen::ParaAll_Form); }
void MDIForm1::Command4_Click() { OpenChildScreen(Screen::Ondo_Form, CascadeOrder::StepFirst); }
void MDIForm1::Command5_Click() {
  OpenChildScreen(Screen::Suitei_Form, CascadeOrder::StepFirst,
                  QSize(kSuiteiWidthTwips, kSuiteiHeightTwips));
}
void MDIForm1::Command7_Click() {
  OpenChildScreen(Screen::SupplyPlan, CascadeOrder::StepFirst,
                  QSize(kSupplyWidthTwips, kSupplyHeightTwips));
}
void MDIForm1::Command3_Click() { close(); }
void MDIForm1::Help_Show_Click() { ShowHelp(this); }
void MDIForm1::Barjon_Show_Click() { ShowBarjon(this, dataDir_); }

void MDIForm1::DataFolder_Show_Click() {
  const QString dir = Q(dataDir_.string());
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(dir))) {
    // Without a file manager (or xdg-open) the user opens it themselves.
    dialogs_.Message(this, kTitleCaution,
                     QStringLiteral("データフォルダをファイルマネージャーで開けませんでした。\n"
                                    "データフォルダは次の場所です:\n%1\n\n"
                                    "このメニューで開くには xdg-utils（xdg-open）と"
                                    "ファイルマネージャーが要ります。")
                         .arg(QDir::toNativeSeparators(dir)),
                     Dialogs::Icon::Warning);
  }
}

}  // namespace kelvora
