#include "screens/dialogs.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>

namespace kelvora {

namespace {

QMessageBox::Icon ToBoxIcon(Dialogs::Icon icon) {
  switch (icon) {
    case Dialogs::Icon::Information:
      return QMessageBox::Information;
    case Dialogs::Icon::Warning:
      return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
      return QMessageBox::Critical;
    case Dialogs::Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtDialogs::Message(QWidget* parent, const QString& title, const QString& text, Icon icon) {
  QMessageBox box(ToBoxIcon(icon), title, text, QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

bool QtDialogs::YesNo(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
  box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

int QtDialogs::Exec(QDialog& dialog) { return dialog.exec(); }

QAction* QtDialogs::Popup(QMenu& menu, const QPoint& globalPos) { return menu.exec(globalPos); }

QString QtDialogs::SaveFileName(QWidget* parent, const QString& caption,
                                const QString& suggestedPath, const QString& filter) {
  QFileDialog dialog(parent, caption, suggestedPath, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // A name typed without its ending gets the one of the type chosen ("*.pdf").
  auto useEnding = [&dialog](const QString& type) {
    const QRegularExpression ending(QStringLiteral("\\*\\.(\\w+)"));
    const QRegularExpressionMatch match = ending.match(type);
    if (match.hasMatch()) dialog.setDefaultSuffix(match.captured(1));
  };
  useEnding(filter.section(QStringLiteral(";;"), 0, 0));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useEnding);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

QString QtDialogs::OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                const QString& filter) {
  QFileDialog dialog(parent, caption, folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

QString QtDialogs::FolderName(QWidget* parent, const QString& caption, const QString& folder) {
  QFileDialog dialog(parent, caption, folder);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

}  // namespace kelvora
