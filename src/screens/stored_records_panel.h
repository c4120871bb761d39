// The "stored records" panel of the data screens (incubation, field and soil
// temperature): a frame holding the list of the table's records and, below
// it, "ファイル保存" and "データ削除". The screens keep their control names for
// its parts (Frame1, List1, Command1, Command8); the record flow drives them.
#pragma once

#include <QGroupBox>
#include <QPushButton>
#include <QString>

#include "screens/controls.h"

class QVBoxLayout;

namespace kelvora {

class StoredRecordsPanel : public QGroupBox {
  Q_OBJECT

 public:
  // `title` is the frame's caption ("データ", "リスト"), which also names the
  // list for screen readers; the frame is at least `minWidthTwips` wide.
  StoredRecordsPanel(const QString& title, int minWidthTwips, QWidget* parent);

  ListBox* const List1;
  QPushButton* const Command1;  // "ファイル保存"
  QPushButton* const Command8;  // "データ削除"
};

// A caption-less numbered button ("① 新規作成" ...), as wide as the numbered
// buttons of every data screen; `accessibleName` is its caption box's caption.
QPushButton* CaptionButton(QWidget* parent, const QString& accessibleName = QString());

// The right-hand column of the incubation and field screens: `topSpacing`
// pixels (level with the first control beside it), the panel taking the
// height, and `endButton` ("終了") at the right below it.
QVBoxLayout* RecordsColumn(StoredRecordsPanel* panel, int topSpacing, QPushButton* endButton);

}  // namespace kelvora
