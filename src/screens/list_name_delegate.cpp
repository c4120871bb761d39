#include "screens/list_name_delegate.h"

#include <QFontMetricsF>
#include <cmath>

namespace kelvora {
namespace {

// Kerning and rounding may make a shaped text a pixel wider than the sum.
constexpr int kSlack = 2;

// The kind of a plain character (ASCII, Latin-1, Japanese: kana, kanji,
// CJK symbols and full-width forms) as a bit; 0 for any other. The kinds a
// name holds decide which fonts draw it, and so its height.
int CharKind(QChar c) {
  const char16_t u = c.unicode();
  if (u >= 0x20 && u <= 0x7E) return 1;
  if (u >= 0xA0 && u <= 0xFF) return 2;
  if ((u >= 0x3000 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF)) return 4;
  return 0;
}

}  // namespace

QSize ListNameDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  const QVariant display = index.data(Qt::DisplayRole);
  if (index.data(Qt::SizeHintRole).isValid() || index.data(Qt::DecorationRole).isValid() ||
      index.data(Qt::FontRole).isValid() || index.data(Qt::CheckStateRole).isValid() ||
      display.typeId() != QMetaType::QString) {
    return QStyledItemDelegate::sizeHint(option, index);
  }
  const QString text = display.toString();
  int kinds = 0;
  for (QChar c : text) {
    const int kind = CharKind(c);
    if (kind == 0) return QStyledItemDelegate::sizeHint(option, index);
    kinds |= kind;
  }
  const QFontMetricsF fm(option.font);
  auto width = [&](Metrics& m) {
    qreal w = 0;
    for (QChar c : text) {
      auto it = m.advances.find(c);
      if (it == m.advances.end()) it = m.advances.insert(c, fm.horizontalAdvance(c));
      w += *it;
    }
    return static_cast<int>(std::ceil(w)) + kSlack;
  };
  for (Metrics& m : metrics_) {
    if (m.kinds == kinds && m.font == option.font) return QSize(m.padding + width(m), m.height);
  }
  // The first such entry is sized by the style; its margins and height serve
  // for the others.
  const QSize styled = QStyledItemDelegate::sizeHint(option, index);
  Metrics m;
  m.font = option.font;
  m.kinds = kinds;
  m.height = styled.height();
  m.padding = std::max(0, styled.width() - (width(m) - kSlack));
  metrics_.push_back(std::move(m));
  return styled;
}

}  // namespace kelvora
