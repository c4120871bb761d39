#include "screens/help_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "screens/twips.h"

namespace kelvora {

namespace {

QString& HelpPathOverride() {
  static QString path;
  return path;
}

}  // namespace

QString HelpFilePath() {
  if (!HelpPathOverride().isEmpty()) return HelpPathOverride();
  const QDir programDir(QCoreApplication::applicationDirPath());
  const QString beside = programDir.filePath(QStringLiteral("KELVOHELP.html"));
  // An installed program keeps its help pages in <prefix>/share/kelvora/help.
  const QString installed =
      QDir::cleanPath(programDir.filePath(QStringLiteral("../share/kelvora/help/KELVOHELP.html")));
  return !QFileInfo::exists(beside) && QFileInfo::exists(installed) ? installed : beside;
}

void SetHelpFilePath(const QString& path) { HelpPathOverride() = path; }

QString HelpChapter(Screen screen) {
  switch (screen) {
    case Screen::Baiyo_Form0_3:
      return QStringLiteral("baiyo");
    case Screen::HojyoBaiyo_Form:
      return QStringLiteral("hojyo");
    case Screen::ParaAll_Form:
      return QStringLiteral("paralist");
    case Screen::Ondo_Form:
      return QStringLiteral("ondo");
    case Screen::Suitei_Form:
      return QStringLiteral("suitei");
    case Screen::ParaKekka_Form0_1:
      return QStringLiteral("results");
    case Screen::Suitei_Graph:
      return QStringLiteral("graph");
    case Screen::SupplyPlan:
      return QStringLiteral("supply");
  }
  return QString();
}

HelpWindow::HelpWindow(QWidget* owner)
    : QWidget(owner, Qt::Window),
      Browser(new QTextBrowser(this)),
      Command1(new QPushButton(QStringLiteral("閉じる"), this)) {
  setObjectName(QStringLiteral("KELVOHELP"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("ケルボラ１ ヘルプ"));
  Browser->setObjectName(QStringLiteral("Browser"));
  Browser->setAccessibleName(QStringLiteral("ヘルプ"));
  Browser->setOpenExternalLinks(true);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setAccessibleName(Command1->text());
  connect(Command1, &QPushButton::clicked, this, &QWidget::close);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, TwipsToPixels(100));
  layout->addWidget(Browser, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, TwipsToPixels(100), 0);
  buttons->addStretch(1);
  buttons->addWidget(Command1);
  layout->addLayout(buttons);
  resize(TwipsToPixels(11000), TwipsToPixels(9000));
}

void HelpWindow::ShowChapter(const QString& chapter) {
  const QString path = HelpFilePath();
  if (QFileInfo::exists(path)) {
    QUrl url = QUrl::fromLocalFile(path);
    if (Browser->source().adjusted(QUrl::RemoveFragment) != url) Browser->setSource(url);
    if (!chapter.isEmpty()) {
      url.setFragment(chapter);
      Browser->setSource(url);
    }
    // An empty chapter scrolls to the top, where the contents are.
    Browser->scrollToAnchor(chapter);
  } else {
    Browser->setHtml(
        QStringLiteral("<p>ヘルプファイル「%1」が見つかりません。</p>").arg(path.toHtmlEscaped()));
  }
}

HelpWindow* ShowHelp(QWidget* owner, const QString& chapter) {
  HelpWindow* w =
      owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!w) {
    w = new HelpWindow(owner);
    if (owner) {
      QPoint at = owner->window()->geometry().center() - w->rect().center();
      w->move(std::max(at.x(), 0), std::max(at.y(), 0));
    }
  }
  w->ShowChapter(chapter);
  w->show();
  w->raise();
  w->activateWindow();
  return w;
}

}  // namespace kelvora
