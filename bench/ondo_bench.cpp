// The soil-temperature series screen with ten years of daily temperatures:
// showing a stored series and pasting a whole series into the grid, each
// including the repaint that follows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "screens/dialogs.h"
#include "screens/ondo_form.h"
#include "store/date_text.h"
#include "store/grid_text.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

constexpr int kDays = 3653;  // 2000/01/01 .. 2009/12/31

class QuietDialogs : public Dialogs {
 public:
  void Message(QWidget*, const QString&, const QString& text, Icon) override { last = text; }
  bool YesNo(QWidget*, const QString&, const QString&) override { return false; }
  int Exec(QDialog&) override { return QDialog::Rejected; }
  QAction* Popup(QMenu&, const QPoint&) override { return nullptr; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  QString last;
};

class NoNavigation : public Navigation {
 public:
  ChildScreen* OpenChildScreen(Screen, CascadeOrder, QSize) override { return nullptr; }
  ChildScreen* FindScreen(Screen) const override { return nullptr; }
  bool CloseChildScreen(Screen) override { return true; }
  bool RunDeletionDialog(QWidget*) override { return false; }
  void ShowPrintSelection() override {}
};

std::string Temperature(int day) {
  // Something like a seasonal course, one decimal.
  const int tenths = 150 + (day * 37) % 200 - 100;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

TionRecord TenYears(const std::string& name) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  const std::vector<std::string> dates = DateTexts(CivilDate{2000, 1, 1}, kDays);
  for (int i = 0; i < kDays; ++i) rows.push_back({dates[static_cast<size_t>(i)], Temperature(i)});
  return TionRecord{name, JoinGridText(rows)};
}

struct Fixture {
  QTemporaryDir tmp;
  hensuu store;
  QuietDialogs dialogs;
  NoNavigation navigation;
  Ondo_Form* screen = nullptr;
  Fixture() {
    store.TionTable.Append(TenYears("札幌"));
    store.TionTable.Append(TenYears("盛岡"));
    screen = new Ondo_Form(
        ScreenContext{store, dialogs, std::filesystem::path(tmp.path().toStdString()), navigation});
    screen->resize(1200, 700);
    screen->show();
    QApplication::processEvents();
  }
  ~Fixture() { delete screen; }
};

// A stored ten-year series onto the screen (ShowRecord), painted.
void BM_ShowStoredTenYearSeries(benchmark::State& state) {
  Fixture f;
  int16_t which = 1;
  for (auto _ : state) {
    f.store.TionCurrent = which;
    f.screen->ShowRecord();
    QApplication::processEvents();
    which = which == 1 ? 2 : 1;
  }
  if (f.screen->MSFlexGrid1->Rows() != kDays + 1) state.SkipWithError("series not shown");
}
BENCHMARK(BM_ShowStoredTenYearSeries)->Unit(benchmark::kMillisecond);

// A press on the list: the series on the screen applied, the other shown.
void BM_ListPressBetweenTenYearSeries(benchmark::State& state) {
  Fixture f;
  f.store.TionCurrent = 1;
  f.screen->ShowRecord();
  int row = 1;
  for (auto _ : state) {
    f.screen->List1->setCurrentRow(row);
    f.screen->List1_MouseDown();
    QApplication::processEvents();
    row = 1 - row;
  }
  if (f.store.TionCount() != 2) state.SkipWithError("a series was appended");
}
BENCHMARK(BM_ListPressBetweenTenYearSeries)->Unit(benchmark::kMillisecond);

// 3 653 temperatures pasted from the clipboard at cell (1, 1) after the
// ten-year range has been confirmed.
void BM_PasteTenYearsOfTemperatures(benchmark::State& state) {
  Fixture f;
  f.screen->Combo1->setCurrentText(QStringLiteral("2000"));
  f.screen->Combo2->setCurrentText(QStringLiteral("1"));
  f.screen->Combo3->setCurrentText(QStringLiteral("1"));
  f.screen->Combo4->setCurrentText(QStringLiteral("2009"));
  f.screen->Combo5->setCurrentText(QStringLiteral("12"));
  f.screen->Combo6->setCurrentText(QStringLiteral("31"));
  f.screen->Command9_Click();
  QStringList lines;
  for (int i = 0; i < kDays; ++i) lines << QString::fromStdString(Temperature(i + 5));
  QGuiApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")) +
                                        QStringLiteral("\r\n"));
  for (auto _ : state) {
    f.screen->Grid->SelectCell(1, 1);
    f.screen->Grid->Edit_Paste_Click();
    QApplication::processEvents();
  }
  if (f.screen->MSFlexGrid1->TextMatrix(kDays, 1).isEmpty() || !f.dialogs.last.isEmpty())
    state.SkipWithError("paste did not fill the series");
}
BENCHMARK(BM_PasteTenYearsOfTemperatures)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvora
