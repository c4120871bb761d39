// The frame that shows one model's parameter set: the model name as its
// title, the formula line(s), one row per parameter (name, value box with the
// parameter's number pattern, unit), rows the model does not use hidden, then
// rows of the screen's own (AIC, 残差平方和 ...). The results screen shows
// three of them; the parameter list and the parameter report show the same
// rows with their own names and patterns.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <cstdint>
#include <vector>

#include "kinetics/model_kind.h"

class QGridLayout;

namespace kelvora {

class ModelFrame : public QGroupBox {
  Q_OBJECT

 public:
  // `paramRows` rows for parameters, `formulaLines` formula labels above
  // them; unit labels when `units`.
  ModelFrame(int paramRows, int formulaLines, bool units, QWidget* parent = nullptr);

  int ParamRows() const { return paramRows_; }
  int RowCount() const { return static_cast<int>(boxes_.size()); }
  // Rows count from 1: parameters first, then the added rows.
  QLabel* Name(int row) const { return names_[row - 1]; }
  QLineEdit* Box(int row) const { return boxes_[row - 1]; }
  // Unit label of a parameter row; nullptr for added rows or without units.
  QLabel* Unit(int row) const;
  QLabel* Formula(int line) const { return formulas_[line - 1]; }

  // A row after the parameter rows (AIC, 残差平方和 ...); returns its number.
  int AddRow(const QString& name);
  // A widget under the rows, with free room above it.
  void AddFooter(QWidget* widget);
  // Width of every value box.
  void SetBoxWidth(int pixels);

  // Title, formula lines, parameter names and units of the model; rows the
  // model does not use are emptied and their boxes hidden.
  void SetModel(int16_t model, ModelTexts texts);
  int16_t Model() const { return model_; }
  // The model's values in slot order, each with its row's pattern; a row
  // without a value is left empty.
  void SetValues(const std::vector<float>& values);

 private:
  QGridLayout* grid_;
  int paramRows_;
  int firstRow_;
  std::vector<QLabel*> formulas_;
  std::vector<QLabel*> names_;
  std::vector<QLineEdit*> boxes_;
  std::vector<QLabel*> units_;
  std::vector<ParamRow> rows_;
  int16_t model_ = 0;
};

}  // namespace kelvora
