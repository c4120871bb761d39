#include "screens/delfrm_select.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "screens/twips.h"
#include "store/hensuu.h"
#include "store/sakujyo.h"

namespace kelvora {

DelFrm_Select::DelFrm_Select(hensuu& store, int16_t kind, DeletionListOwner* listOwner,
                             QWidget* parent)
    : QDialog(parent),
      Label1(new QLabel(this)),
      List1(new QListWidget(this)),
      Label2(new QLabel(this)),
      Label8(new QLabel(QStringLiteral("複数選択の場合、Shift + や"), this)),
      Label9(new QLabel(QStringLiteral("Ctrl + （マウスのクリック）で選択して下さい。"), this)),
      Command1(new QPushButton(QStringLiteral("全て選択"), this)),
      Command2(new QPushButton(this)),
      Command3(new QPushButton(QStringLiteral("キャンセル"), this)),
      store_(store),
      kind_(kind),
      listOwner_(listOwner) {
  setObjectName(QStringLiteral("DelFrm_Select"));
  setWindowTitle(QStringLiteral("データの選択"));
  setModal(true);
  Label1->setObjectName(QStringLiteral("Label1"));
  List1->setObjectName(QStringLiteral("List1"));
  Label2->setObjectName(QStringLiteral("Label2"));
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2->setObjectName(QStringLiteral("Command2"));
  Command3->setObjectName(QStringLiteral("Command3"));
  List1->setSelectionMode(QAbstractItemView::ExtendedSelection);

  // Opening: the records in table order, the current one selected.
  const std::string heading = DeletionHeading(kind);
  Label1->setText(Q(heading));
  List1->setAccessibleName(Q(heading));
  for (const std::string& name : DeletionEntries(store, kind)) List1->addItem(Q(name));
  const int16_t count = CountOfKind(store, kind);
  if (const int16_t* current = CurrentOfKind(store, kind);
      current && *current >= 1 && *current <= count) {
    List1->setCurrentRow(*current - 1);
  }
  Label2->setText(QStringLiteral("削除する項目を選択して下さい"));
  Command2->setText(QStringLiteral("削除"));

  connect(Command1, &QPushButton::clicked, this, &DelFrm_Select::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &DelFrm_Select::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &DelFrm_Select::Command3_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command1);
  buttons->addStretch(1);
  buttons->addWidget(Command2);
  buttons->addWidget(Command3);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(List1, 1);
  layout->addWidget(Label2);
  layout->addWidget(Label8);
  layout->addWidget(Label9);
  layout->addLayout(buttons);
  resize(TwipsToPixels(6000), TwipsToPixels(6000));
}

void DelFrm_Select::Command1_Click() { List1->selectAll(); }

void DelFrm_Select::Command2_Click() {
  // From the last entry up, so that the entries still to be visited keep
  // positions equal to their record numbers.
  int16_t* current = CurrentOfKind(store_, kind_);
  if (current) {
    for (int p = List1->count() - 1; p >= 0; --p) {
      if (!List1->item(p)->isSelected()) continue;
      *current = static_cast<int16_t>(p + 1);
      const int removed = DeleteRecordOfKind(store_, kind_);
      if (removed < 0) continue;
      ++deleted_;
      if (listOwner_ && kind_ != kDeleteSuitei) listOwner_->RemoveRecordEntry(removed);
    }
  }
  accept();
}

void DelFrm_Select::Command3_Click() { reject(); }

bool RunDeletion(hensuu& store, Dialogs& dialogs, int16_t kind, QWidget* owner) {
  store.DeleteKind = kind;
  DelFrm_Select dialog(store, kind, dynamic_cast<DeletionListOwner*>(owner), owner);
  dialogs.Exec(dialog);
  return dialog.Deleted() > 0;
}

}  // namespace kelvora
