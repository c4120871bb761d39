#include "screens/model_frame.h"

#include <QGridLayout>

#include "screens/qtext.h"
#include "store/number_text.h"

namespace kelvora {

ModelFrame::ModelFrame(int paramRows, int formulaLines, bool units, QWidget* parent)
    : QGroupBox(parent), grid_(new QGridLayout(this)), paramRows_(paramRows) {
  grid_->setHorizontalSpacing(6);
  grid_->setVerticalSpacing(3);
  for (int i = 0; i < formulaLines; ++i) {
    formulas_.push_back(new QLabel(this));
    grid_->addWidget(formulas_.back(), i, 0, 1, 3);
  }
  firstRow_ = formulaLines;
  for (int r = 1; r <= paramRows; ++r) {
    auto* name = new QLabel(this);
    auto* box = new QLineEdit(this);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    names_.push_back(name);
    boxes_.push_back(box);
    grid_->addWidget(name, firstRow_ + r - 1, 0);
    grid_->addWidget(box, firstRow_ + r - 1, 1);
  }
  if (units) {
    for (int r = 1; r <= paramRows; ++r) {
      units_.push_back(new QLabel(this));
      grid_->addWidget(units_.back(), firstRow_ + r - 1, 2);
    }
  }
  grid_->setColumnStretch(2, 1);
}

QLabel* ModelFrame::Unit(int row) const {
  return row >= 1 && row <= static_cast<int>(units_.size()) ? units_[row - 1] : nullptr;
}

int ModelFrame::AddRow(const QString& text) {
  auto* name = new QLabel(text, this);
  auto* box = new QLineEdit(this);
  box->setReadOnly(true);
  box->setAlignment(Qt::AlignRight);
  names_.push_back(name);
  boxes_.push_back(box);
  const int row = RowCount();
  grid_->addWidget(name, firstRow_ + row - 1, 0);
  grid_->addWidget(box, firstRow_ + row - 1, 1);
  return row;
}

void ModelFrame::AddFooter(QWidget* widget) {
  const int row = firstRow_ + RowCount();
  grid_->setRowStretch(row, 1);
  grid_->addWidget(widget, row + 1, 0, 1, 3);
}

void ModelFrame::SetBoxWidth(int pixels) {
  for (QLineEdit* box : boxes_) box->setFixedWidth(pixels);
}

void ModelFrame::SetModel(int16_t model, ModelTexts texts) {
  model_ = model;
  setTitle(IsValidModel(model) ? Q(ModelName(model)) : QString());
  const std::vector<std::string> lines = ModelFormulaLines(model, texts);
  for (size_t i = 0; i < formulas_.size(); ++i) {
    formulas_[i]->setText(i < lines.size() ? Q(lines[i]) : QString());
  }
  rows_ = ModelParamRows(model, texts);
  const int used = static_cast<int>(rows_.size());
  for (int r = 1; r <= paramRows_; ++r) {
    QLineEdit* box = Box(r);
    box->setReadOnly(true);
    if (r <= used) {
      Name(r)->setText(Q(rows_[r - 1].name));
      if (QLabel* u = Unit(r)) u->setText(Q(rows_[r - 1].unit));
      box->show();
    } else {
      Name(r)->clear();
      if (QLabel* u = Unit(r)) u->clear();
      box->clear();
      box->hide();
    }
  }
}

void ModelFrame::SetValues(const std::vector<float>& values) {
  for (int r = 1; r <= paramRows_ && r <= static_cast<int>(rows_.size()); ++r) {
    Box(r)->setText(r <= static_cast<int>(values.size())
                        ? Q(FormatFixed(values[r - 1], rows_[r - 1].decimals))
                        : QString());
  }
}

}  // namespace kelvora
