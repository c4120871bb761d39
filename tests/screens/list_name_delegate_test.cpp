// The record lists size their entries without laying out every name: never
// narrower than the style's own size (a long name still scrolls into view,
// nothing is cut off), at most a few pixels wider, and exactly as high.
#include "screens/list_name_delegate.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "screens/controls.h"

namespace kelvora {
namespace {

QSize StyleSize(QListWidget& list, int row) {
  QStyledItemDelegate style;
  QStyleOptionViewItem option;
  option.initFrom(list.viewport());
  option.font = list.font();
  return style.sizeHint(option, list.model()->index(row, 0));
}

QSize ListSize(QListWidget& list, int row) {
  QStyleOptionViewItem option;
  option.initFrom(list.viewport());
  option.font = list.font();
  return list.itemDelegate()->sizeHint(option, list.model()->index(row, 0));
}

TEST(ListNameDelegate, EntriesAreAsHighAsTheStylesAndNeverNarrower) {
  ListBox list;
  const QStringList names = {
      QStringLiteral("試料1"),
      QStringLiteral("灰色低地土①（水田）～℃"),
      QStringLiteral("AVAVAV WAWA Ty.Te"),
      QStringLiteral("ｶﾀｶﾅの名前 and ASCII 12345"),
      QStringLiteral("黒ボク土").repeated(30),
      QString(),
      QStringLiteral("Ünïcödé àçcénts"),
      QStringLiteral("tab\tinside"),  // sized by the style
      QStringLiteral("絵文字😀"),      // sized by the style
      QStringLiteral("שלום עולם"),    // sized by the style
      QStringLiteral("試料2"),
  };
  list.addItems(names);
  for (int r = 0; r < names.size(); ++r) {
    SCOPED_TRACE(names[r].toStdString());
    const QSize style = StyleSize(list, r), ours = ListSize(list, r);
    EXPECT_EQ(ours.height(), style.height());
    EXPECT_GE(ours.width(), style.width());
    EXPECT_LE(ours.width(), style.width() + 4);
  }

  // The longest name decides how far the list scrolls.
  list.resize(160, 200);
  list.show();
  list.doItemsLayout();
  EXPECT_GE(list.horizontalScrollBar()->maximum(), StyleSize(list, 4).width() - 160);
}

}  // namespace
}  // namespace kelvora
