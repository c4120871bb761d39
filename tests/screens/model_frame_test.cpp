// The model-parameter frame with the results screen's and the parameter
// list's texts: names, units, number patterns, formula lines, hidden rows.
#include "screens/model_frame.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

const std::vector<float> kGauss = {20097.4f, 0.043916f, 96.742f, 19.468f, 18012.2f, 0.5234f};

TEST(ModelFrame, GaussianModelWithResultsAndListTexts) {
  ModelFrame frame(7, 2, true);
  const int aic = frame.AddRow(QStringLiteral("AIC"));
  EXPECT_EQ(aic, 8);
  frame.Box(aic)->setText(QStringLiteral("176.98"));

  frame.SetModel(6, ModelTexts::Results);
  frame.SetValues(kGauss);
  EXPECT_EQ(frame.title(), "シグモイド肥料ガウス補正型");
  EXPECT_EQ(frame.Formula(1)->text(), "N = No(1-exp(-k・tk))");
  EXPECT_EQ(frame.Formula(2)->text(), "tk = ΣDexp(Ea1(T-Ts)/RTTs)");
  EXPECT_EQ(frame.Box(1)->text(), "20097");
  EXPECT_EQ(frame.Box(2)->text(), "0.0439");  // four decimals on the results screen
  EXPECT_EQ(frame.Box(4)->text(), "19.47");
  EXPECT_EQ(frame.Name(6)->text(), "σ");
  EXPECT_EQ(frame.Unit(6)->text(), "day");
  EXPECT_EQ(frame.Box(6)->text(), "0.52");
  EXPECT_TRUE(frame.Box(7)->isHidden());
  EXPECT_TRUE(frame.Name(7)->text().isEmpty());
  EXPECT_EQ(frame.Unit(aic), nullptr);
  EXPECT_EQ(frame.Box(aic)->text(), "176.98");  // the screen's own rows stay as they are

  frame.SetModel(6, ModelTexts::List);
  frame.SetValues(kGauss);
  EXPECT_EQ(frame.Box(2)->text(), "0.04392");  // five decimals in the parameter list
  EXPECT_TRUE(frame.Unit(1)->text().isEmpty());
  EXPECT_EQ(frame.Formula(1)->text(), "N = No(1-exp(-k・tk))");
  EXPECT_TRUE(frame.Formula(2)->text().isEmpty());
}

TEST(ModelFrame, RowsTheModelDoesNotUseAreHiddenAndEmptied) {
  ModelFrame frame(7, 1, false);
  frame.SetModel(3, ModelTexts::List);
  frame.SetValues({14000, 9000, 0.03f, 0.01f, 12.5f, 3.25f, 1.5f});
  EXPECT_EQ(frame.Name(6)->text(), "Noim");
  for (int r = 1; r <= 7; ++r) EXPECT_FALSE(frame.Box(r)->isHidden()) << r;
  EXPECT_EQ(frame.Box(6)->text(), "3.25");

  frame.SetModel(1, ModelTexts::List);
  EXPECT_EQ(frame.Formula(1)->text(), "N = No(1-exp(-k・t))+C");
  for (int r = 5; r <= 7; ++r) {
    EXPECT_TRUE(frame.Box(r)->isHidden()) << r;
    EXPECT_TRUE(frame.Box(r)->text().isEmpty()) << r;
    EXPECT_TRUE(frame.Name(r)->text().isEmpty()) << r;
  }
  frame.SetModel(5, ModelTexts::List);
  EXPECT_FALSE(frame.Box(5)->isHidden());
  EXPECT_EQ(frame.Name(5)->text(), "Ea2");
  EXPECT_TRUE(frame.Box(6)->isHidden());
  EXPECT_EQ(frame.Unit(1), nullptr);  // built without units
}

}  // namespace
}  // namespace kelvora
