#include "screens/help_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("KELVOHELP.html"));
}

void SetHelpFilePath(const QString& path) { HelpPathOverride() = path; }

HelpWindow::HelpWindow(QWidget* owner)
    : QWidget(owner, Qt::Window), Browser(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("KELVOHELP"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("ケルボラ１ ヘルプ"));
  Browser->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Browser);
  resize(TwipsToPixels(11000), TwipsToPixels(9000));
}

void HelpWindow::ShowContents() {
  const QString path = HelpFilePath();
  if (QFileInfo::exists(path)) {
    Browser->setSource(QUrl::fromLocalFile(path));
    Browser->scrollToAnchor(QString());
  } else {
    Browser->setHtml(
        QStringLiteral("<p>ヘルプファイル「%1」が見つかりません。</p>").arg(path.toHtmlEscaped()));
  }
}

HelpWindow* ShowHelp(QWidget* owner) {
  HelpWindow* w =
      owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!w) {
    w = new HelpWindow(owner);
    if (owner) {
      QPoint at = owner->window()->geometry().center() - w->rect().center();
      w->move(std::max(at.x(), 0), std::max(at.y(), 0));
    }
  }
  w->ShowContents();
  w->show();
  w->raise();
  w->activateWindow();
  return w;
}

}  // namespace kelvora
