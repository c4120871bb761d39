#include "screens/stored_records_panel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "screens/twips.h"

namespace kelvora {

StoredRecordsPanel::StoredRecordsPanel(const QString& title, int minWidthTwips, QWidget* parent)
    : QGroupBox(title, parent),
      List1(new ListBox(this)),
      Command1(new QPushButton(QStringLiteral("ファイル保存"), this)),
      Command8(new QPushButton(QStringLiteral("データ削除"), this)) {
  setObjectName(QStringLiteral("Frame1"));
  List1->setObjectName(QStringLiteral("List1"));
  List1->setAccessibleName(title);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command1);
  buttons->addWidget(Command8);
  auto* frame = new QVBoxLayout(this);
  frame->addWidget(List1, 1);
  frame->addLayout(buttons);
  setMinimumWidth(TwipsToPixels(minWidthTwips));
}

QPushButton* CaptionButton(QWidget* parent, const QString& accessibleName) {
  auto* b = new QPushButton(parent);
  b->setFixedWidth(TwipsToPixels(360));
  if (!accessibleName.isEmpty()) b->setAccessibleName(accessibleName);
  return b;
}

QVBoxLayout* RecordsColumn(StoredRecordsPanel* panel, int topSpacing, QPushButton* endButton) {
  auto* endRow = new QHBoxLayout;
  endRow->addStretch();
  endRow->addWidget(endButton);
  auto* column = new QVBoxLayout;
  column->addSpacing(topSpacing);
  column->addWidget(panel, 1);
  column->addSpacing(6);
  column->addLayout(endRow);
  return column;
}

}  // namespace kelvora
