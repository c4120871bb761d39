// "データの選択": the deletion dialog shared by every screen that owns a
// table. It lists the records of the table named by the store's DeleteKind,
// lets the user pick one or several and deletes them from memory at once;
// the data files follow with the next save.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <cstdint>

namespace kelvora {

class Dialogs;
class hensuu;

// A screen whose record list mirrors a table: the dialog removes the entry of
// every record it deletes (position counted from 0) as it goes.
class DeletionListOwner {
 public:
  virtual ~DeletionListOwner() = default;
  virtual void RemoveRecordEntry(int position) = 0;
};

class DelFrm_Select : public QDialog {
  Q_OBJECT

 public:
  // `listOwner` may be nullptr (a screen that rebuilds its list afterwards).
  DelFrm_Select(hensuu& store, int16_t kind, DeletionListOwner* listOwner,
                QWidget* parent = nullptr);

  QLabel* const Label1;      // the table's heading
  QListWidget* const List1;  // one entry per record
  QLabel* const Label2;      // "削除する項目を選択して下さい"
  QLabel* const Label8;      // the two lines of the selection hint
  QLabel* const Label9;
  QPushButton* const Command1;  // "全て選択"
  QPushButton* const Command2;  // "削除"
  QPushButton* const Command3;  // "キャンセル"

  void Command1_Click();
  void Command2_Click();
  void Command3_Click();

  // How many records "削除" removed.
  int Deleted() const { return deleted_; }

 private:
  hensuu& store_;
  int16_t kind_;
  DeletionListOwner* listOwner_;
  int deleted_ = 0;
};

// Runs the dialog modally over `owner` for `kind` (also stored as the
// store's DeleteKind); true when at least one record was deleted. An owner
// that is a DeletionListOwner has its list entries removed along.
bool RunDeletion(hensuu& store, Dialogs& dialogs, int16_t kind, QWidget* owner);

}  // namespace kelvora
