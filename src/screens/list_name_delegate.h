// Sizes the entries of the record lists without laying out each text: a list
// of 32 767 names would otherwise shape every one of them before the screen
// can show it.
#pragma once

#include <QFont>
#include <QHash>
#include <QStyledItemDelegate>
#include <vector>

namespace kelvora {

// For a plain name (Latin, kana, kanji, full-width forms) the width is the sum
// of the characters' advances in the list's font, never less than the laid-out
// text, with the margins and height the style gives such an entry; any other
// entry is sized by the style itself. Painting is the style's.
class ListNameDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  // What the style adds around a name of a font and kinds of characters
  // (which may come from other fonts), and the characters' advances.
  struct Metrics {
    QFont font;
    int kinds = 0;
    int padding = 0;
    int height = 0;
    QHash<QChar, qreal> advances;
  };
  mutable std::vector<Metrics> metrics_;
};

}  // namespace kelvora
