// Pictures and spreadsheets out of the screens, through their buttons: the
// chart pictures (PNG at twice the screen's pixels, SVG), the fit as a
// workbook, the parameter sets and the estimations as workbooks and CSV files,
// read back with other readers (Qt's image and SVG readers, openpyxl,
// Python's csv module) and compared with the stored records and kelvora-cli.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <QImage>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <cmath>
#include <map>

#include "kinetics/fit_driver.h"
#include "kinetics/fit_export.h"
#include "kinetics/model_kind.h"
#include "mini_json.h"
#include "print/prifrm_select.h"
#include "screen_test_env.h"
#include "screens/chart_picture.h"
#include "screens/controls.h"
#include "screens/fit_stats_window.h"
#include "screens/paraall_form.h"
#include "screens/parakekka_form0_1.h"
#include "screens/suitei_form.h"
#include "screens/suitei_graph.h"
#include "store/grid_text.h"
#include "store/number_text.h"
#include "store/parameter_export.h"
#include "xlsx_reader.h"

namespace kelvora {
namespace {

using test::ScreenEnv;
using testing::Json;
using testing::ReadCsv;
using testing::ReadXlsx;

namespace fs = std::filesystem;

const QString kTableTypes = QStringLiteral("Excel ブック (*.xlsx);;CSV (*.csv)");

std::string BenchTable(const char* name) {
  return test::ReadBytes(fs::path(KELVORA_SOURCE_DIR) / "tests/data/bench" / name);
}

BaiyoRecord Record(const std::string& name, const std::string& table, bool fertilizer) {
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  g.Resize(100, 4);
  return BaiyoRecord{name, g.ToGridText(), fertilizer};
}

ParaRecord Para(const std::string& name, int16_t model, const std::vector<std::string>& params,
                bool manual = false) {
  ParaRecord p;
  p.SoilName = name;
  p.ModelNo = model;
  for (size_t i = 0; i < params.size(); ++i) p.Param[i] = *ParseSingle(params[i]);
  p.Aic = manual ? 0.0f : 12.34f;
  p.Rss = manual ? 0.0f : 0.567f;
  p.IsManual = manual;
  p.StdTemp = 25;
  return p;
}

TionRecord Tion(const std::string& site, const std::vector<std::vector<std::string>>& days) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  rows.insert(rows.end(), days.begin(), days.end());
  return TionRecord{site, JoinGridText(rows)};
}

bool IsFifo(const fs::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Pixels of the picture close to `color` (the chart's own drawing, not the
// white around it).
int PixelsNear(const QImage& image, QColor color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
              std::abs(c.blue() - color.blue()) <
          40) {
        ++n;
      }
    }
  }
  return n;
}

// The picture of the widgets side by side, in the screen's pixels.
QSize ScreenSize(std::initializer_list<QWidget*> parts) {
  QSize s(0, 0);
  for (QWidget* w : parts) {
    s.rwidth() += w->width();
    s.rheight() = std::max(s.height(), w->height());
  }
  return s;
}

void Pick(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(row)).center());
}

double Num(const Json& cell) {
  EXPECT_EQ(cell["k"].text, "n");
  return testing::JsonDouble(cell["v"]);
}

class ExportScreens : public ::testing::Test {
 protected:
  ScreenEnv env;

  fs::path Out(const std::string& name) const { return env.tmp.path().toStdString() + "/" + name; }
  // The next file name the save dialog answers.
  void Answer(const fs::path& p) { env.dialogs.fileNames.push_back(QString::fromStdString(p)); }
  void Cancel() { env.dialogs.fileNames.push_back(QString()); }
  QStringList Messages() const {
    QStringList out;
    for (const auto& s : env.dialogs.shown) {
      if (s.kind == "message") out << s.text;
    }
    return out;
  }

  ParaKekka_Form0_1* Fit(const std::string& table) {
    env.store.BaiyoTable.Append(Record("黒ボク土", table, false));
    env.store.BaiyoCurrent = 1;
    env.Show();
    Baiyo_Form0_3* baiyo = env.OpenBaiyo();
    baiyo->Text1->setText(QStringLiteral("25"));
    QTest::mouseClick(baiyo->Command5, Qt::LeftButton);
    return env.main->Find<ParaKekka_Form0_1>(Screen::ParaKekka_Form0_1);
  }

  // Saves through `button` as PNG and as SVG and checks both pictures: the
  // PNG has twice the pixels of the parts on the screen (and the lines above
  // them that say what they show) and shows the chart's `ink`; the SVG is a
  // drawing of the screen size holding text items that begin with `texts`.
  void ExpectPictures(QPushButton* button, std::initializer_list<QWidget*> parts, QColor ink,
                      const QStringList& texts, const std::string& stem) {
    const QSize screen = ScreenSize(parts);
    ASSERT_GT(screen.width(), 200);
    Answer(Out(stem + ".png"));
    QTest::mouseClick(button, Qt::LeftButton);
    const QImage png(QString::fromStdString(Out(stem + ".png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.width(), screen.width() * 2);
    EXPECT_GT(png.height(), screen.height() * 2);
    EXPECT_GT(PixelsNear(png, ink), 50);
    EXPECT_GT(PixelsNear(png, Qt::white), png.width() * png.height() / 4);
    EXPECT_EQ(env.dialogs.fileFilters.back(), "PNG 画像 (*.png);;SVG 画像 (*.svg)");

    Answer(Out(stem + ".SVG"));  // the ending in either case
    QTest::mouseClick(button, Qt::LeftButton);
    QSvgRenderer svg(QString::fromStdString(Out(stem + ".SVG")));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBox().width(), screen.width());
    EXPECT_EQ(svg.viewBox().height() * 2, png.height());
    // The texts of the drawing's text items run together (an item holds one
    // run of a script).
    const QString drawing = QString::fromStdString(test::ReadBytes(Out(stem + ".SVG")));
    QString written;
    const QRegularExpression item(QStringLiteral("<text [^>]*>([^<]*)</text>"));
    for (auto it = item.globalMatch(drawing); it.hasNext();) written += it.next().captured(1);
    for (const QString& text : texts) {
      EXPECT_TRUE(written.contains(text)) << text.toStdString();
    }
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join('|').toStdString();
  }
};

TEST_F(ExportScreens, ResultsChartPictureAtTwiceThePixelsOrAsSvgAndRefusals) {
  ParaKekka_Form0_1* r = Fit(BenchTable("soil-3x10.tsv"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Command9->text(), "画像を保存");
  EXPECT_EQ(r->Command9->accessibleName(), "画像を保存");
  EXPECT_EQ(r->Command10->accessibleName(), "エクスポート");
  // The calculated markers' blue; the chart's title names the model.
  ExpectPictures(r->Command9, {r->Picture2, r->MSChart1}, QColor(30, 90, 200),
                 {r->MSChart1->chart()->title(), QStringLiteral("窒素無機化量"),
                  QStringLiteral("土壌名（肥料名）：黒ボク土")},
                 "chart");
  EXPECT_TRUE(env.dialogs.suggestedPaths.front().endsWith("黒ボク土 単純型.png"))
      << env.dialogs.suggestedPaths.front().toStdString();

  // Cancelled: the old file stays as it was, nothing is said.
  const fs::path old = Out("old.png");
  std::ofstream(old) << "old picture";
  Cancel();
  QTest::mouseClick(r->Command9, Qt::LeftButton);
  EXPECT_EQ(test::ReadBytes(old), "old picture");
  // Replaced: the old file becomes the picture.
  Answer(old);
  QTest::mouseClick(r->Command9, Qt::LeftButton);
  EXPECT_FALSE(QImage(QString::fromStdString(old)).isNull());
  EXPECT_TRUE(Messages().isEmpty());

  // A named pipe is never replaced, another ending is refused, a folder that
  // does not exist fails: each with its message, nothing written.
  const fs::path fifo = Out("pipe.png");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Answer(fifo);
  QTest::mouseClick(r->Command9, Qt::LeftButton);
  EXPECT_TRUE(IsFifo(fifo));
  Answer(Out("chart.bmp"));
  QTest::mouseClick(r->Command9, Qt::LeftButton);
  EXPECT_FALSE(fs::exists(Out("chart.bmp")));
  Answer(Out("no-such-folder/chart.png"));
  QTest::mouseClick(r->Command9, Qt::LeftButton);
  // A picture the user made read-only, a folder they may not write in.
  const fs::path readOnly = Out("ro.png");
  std::ofstream(readOnly) << "old picture";
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  const fs::path readOnlyFolder = Out("ro");
  fs::create_directory(readOnlyFolder);
  ASSERT_EQ(::chmod(readOnlyFolder.c_str(), 0555), 0);
  Answer(readOnly);
  QTest::mouseClick(r->Command9, Qt::LeftButton);
  Answer(readOnlyFolder / "chart.svg");
  QTest::mouseClick(r->Command9, Qt::LeftButton);
  EXPECT_EQ(test::ReadBytes(readOnly), "old picture");
  EXPECT_TRUE(fs::is_empty(readOnlyFolder));
  ::chmod(readOnlyFolder.c_str(), 0755);
  const QStringList m = Messages();
  ASSERT_EQ(m.size(), 5);
  EXPECT_TRUE(m[3].contains("読み取り専用のファイルです")) << m[3].toStdString();
  EXPECT_TRUE(m[4].contains("は読み取り専用です")) << m[4].toStdString();
  EXPECT_TRUE(m[0].startsWith(
      QStringLiteral("画像「%1」を保存できませんでした。").arg(QString::fromStdString(fifo))));
  EXPECT_TRUE(m[0].contains("通常のファイルではありません")) << m[0].toStdString();
  EXPECT_TRUE(m[1].contains(".png または .svg")) << m[1].toStdString();
  EXPECT_TRUE(m[2].contains("no-such-folder")) << m[2].toStdString();
  for (const auto& s : env.dialogs.shown) {
    if (s.kind == "message") {
      EXPECT_EQ(s.title, "注意");
    }
  }
}

TEST_F(ExportScreens, ResultsWorkbookHoldsEveryModelAsTheCliFitsIt) {
  const std::string table = BenchTable("soil-3x10.tsv");
  ParaKekka_Form0_1* r = Fit(table);
  ASSERT_NE(r, nullptr);
  const Json cli = testing::ParseJson(test::CliFit("fit", table, "黒ボク土", false));
  // Another model shown on the chart changes nothing of the workbook.
  QTest::mouseClick(r->Check[3], Qt::LeftButton, {}, QPoint(10, r->Check[3]->height() / 2));

  Answer(Out("fit.xlsx"));
  QTest::mouseClick(r->Command10, Qt::LeftButton);
  EXPECT_EQ(env.dialogs.fileFilters.back(), "Excel ブック (*.xlsx)");
  EXPECT_TRUE(env.dialogs.suggestedPaths.back().endsWith("/黒ボク土.xlsx"));
  ASSERT_TRUE(Messages().isEmpty()) << Messages().join('|').toStdString();
  const Json book = ReadXlsx(Out("fit.xlsx"));
  ASSERT_EQ(book.size(), 4u);
  EXPECT_EQ(book[0]["name"].text, "15℃");
  EXPECT_EQ(book[1]["name"].text, "25℃");
  EXPECT_EQ(book[2]["name"].text, "35℃");
  EXPECT_EQ(book[3]["name"].text, "パラメータ");

  // The incubation table as typed: days in the first column, amounts per
  // temperature beside them.
  const std::vector<std::vector<std::string>> typed = SplitGridText(table, kSpreadsheetFormat);
  // Residual sums per model over the three temperatures, and the best
  // model's calculated values in the order of the cli's chart.
  std::map<std::string, double> sums;
  std::vector<double> bestCalc, bestDays;
  const std::string bestName = ModelName(static_cast<int16_t>(cli["best"].number));
  for (int c = 0; c < 3; ++c) {
    SCOPED_TRACE(c);
    const Json& rows = book[c]["rows"];
    EXPECT_EQ(book[c]["freeze"].text, "A2");
    ASSERT_EQ(rows.size(), 11u);
    const Json& head = rows[0];
    ASSERT_EQ(head.size(), 2u + 3 * 3);
    EXPECT_EQ(head[0]["v"].text, "日数");
    EXPECT_EQ(head[1]["v"].text, "分析値");
    EXPECT_TRUE(head[1]["bold"].b);
    for (size_t i = 1; i < rows.size(); ++i) {
      EXPECT_EQ(Num(rows[i][0]), std::stod(typed[i][0]));
      const double observed = Num(rows[i][1]);
      EXPECT_EQ(observed, std::stod(typed[i][c + 1]));
      for (size_t k = 2; k + 2 < head.size(); k += 3) {
        const std::string name = head[k]["v"].text.substr(0, head[k]["v"].text.find(' '));
        EXPECT_EQ(head[k + 1]["v"].text, name + " 計算値");
        EXPECT_EQ(head[k + 2]["v"].text, name + " 残差");
        const double calc = Num(rows[i][k + 1]);
        const double residual = Num(rows[i][k + 2]);
        EXPECT_NEAR(residual, observed - calc, 1e-9);
        sums[name] += residual * residual;
        if (name == bestName) {
          bestDays.push_back(Num(rows[i][k]));
          bestCalc.push_back(calc);
        }
      }
    }
  }
  // The residuals of every model add up to the sum the fit found for it.
  ASSERT_EQ(sums.size(), 3u);
  for (const Json& m : cli["models"].items) {
    SCOPED_TRACE(m["name"].text);
    ASSERT_EQ(sums.count(m["name"].text), 1u);
    EXPECT_NEAR(sums[m["name"].text], m["rss"].number, 1e-4 * m["rss"].number);
  }
  const Json& chart = cli["chart"];
  ASSERT_EQ(chart.size(), bestCalc.size());
  for (size_t i = 0; i < chart.size(); ++i) {
    EXPECT_NEAR(bestDays[i], chart[i][0].number, 1e-9 * std::max(1.0, chart[i][0].number));
    EXPECT_NEAR(bestCalc[i], chart[i][1].number, 1e-9 * std::max(1.0, chart[i][1].number));
  }

  // The parameters of every model, named and rounded as the screen shows them.
  const Json& p = book[3]["rows"];
  EXPECT_EQ(p[0][1]["v"].text, "黒ボク土");
  EXPECT_EQ(Num(p[1][1]), 25);
  EXPECT_EQ(p[2][1]["v"].text, bestName);
  EXPECT_EQ(book[3]["freeze"].text, "A6");
  EXPECT_EQ(p[4][0]["v"].text, "モデル");
  EXPECT_EQ(p[4][2]["v"].text, "値");
  size_t row = 5;
  for (size_t f = 1; f <= 3; ++f) {
    const Json& m = cli["models"][f - 1];
    const int rowsShown = r->Frame[f]->ParamRows() + 2;  // with AIC and 残差平方和
    for (int k = 1; k <= rowsShown; ++k, ++row) {
      SCOPED_TRACE(row);
      ASSERT_LT(row, p.size());
      EXPECT_EQ(p[row][0]["v"].text, m["name"].text);
      EXPECT_EQ(QString::fromStdString(p[row][1]["v"].text), r->Frame[f]->Name(k)->text());
      const double v = Num(p[row][2]);
      const double expected = k <= r->Frame[f]->ParamRows() ? m["params"][k - 1].number
                              : k == rowsShown - 1          ? m["aic"].number
                                                            : m["rss"].number;
      EXPECT_NEAR(v, expected, 1e-6 * std::max(1.0, std::abs(expected)));
      // The number pattern of the screen, and the number it shows.
      const std::string fmt = p[row][2]["fmt"].text;
      const int decimals =
          fmt.find('.') == std::string::npos ? 0 : static_cast<int>(fmt.size() - fmt.find('.') - 1);
      EXPECT_EQ(QString::fromStdString(FormatFixed(v, decimals)), r->Frame[f]->Box(k)->text());
    }
  }
  EXPECT_EQ(p.size(), row);

  // Only a workbook: a .csv name is refused with a message, nothing written.
  Answer(Out("fit.csv"));
  QTest::mouseClick(r->Command10, Qt::LeftButton);
  ASSERT_EQ(Messages().size(), 1);
  EXPECT_TRUE(Messages()[0].contains(".xlsx"));
  EXPECT_FALSE(fs::exists(Out("fit.csv")));
}

TEST_F(ExportScreens, GraphAndFitStatisticsSaveTheirCharts) {
  env.store.ParaTable.Append(Para("被覆尿素", 5, {"15000", "0.05", "93", "29.3", "22000"}));
  std::vector<std::vector<std::string>> days;
  for (int d = 1; d <= 30; ++d) days.push_back({"2006/04/" + FormatFixed(d, 0), "20"});
  for (auto& day : days) {
    if (day[0].size() == 9) day[0].insert(8, "0");
  }
  env.store.TionTable.Append(Tion("つくば", days));
  env.Show();
  QTest::mouseClick(env.main->Command5, Qt::LeftButton);
  auto* s = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
  ASSERT_NE(s, nullptr);
  Pick(s->List2, 0);
  Pick(s->List1, 0);
  QTest::mouseClick(s->Text1, Qt::LeftButton);  // "④ 計算"
  ASSERT_EQ(env.store.SuiteiCount(), 1);
  QTest::mouseClick(s->Command10, Qt::LeftButton);  // "グラフ表示"
  auto* g = env.main->Find<Suitei_Graph>(Screen::Suitei_Graph);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Command3->accessibleName(), "画像を保存");
  ExpectPictures(g->Command3, {g->Label2, g->MSChart1}, QColor(30, 90, 200),
                 {g->Label2->Text(), QStringLiteral("2006/04/06"), QStringLiteral("年/月/日"),
                  QStringLiteral("土壌(肥料)名：被覆尿素"), QStringLiteral("地温データ名：つくば")},
                 "graph");
  EXPECT_TRUE(env.dialogs.suggestedPaths.front().endsWith("被覆尿素 つくば.png"));
  // "コピー" still puts the chart alone on the clipboard.
  g->Edit_Copy->trigger();
  EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
  env.main->CloseChildScreen(Screen::Suitei_Graph);
  env.main->CloseChildScreen(Screen::Suitei_Form);

  // フィット統計: both charts side by side.
  env.dialogs.suggestedPaths.clear();
  ParaKekka_Form0_1* r = Fit(BenchTable("soil-3x10.tsv"));
  ASSERT_NE(r, nullptr);
  QTest::mouseClick(r->Command8, Qt::LeftButton);
  FitStatsWindow* w = r->StatsWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_NE(w->SavePictureButton, nullptr);
  EXPECT_EQ(w->SavePictureButton->accessibleName(), "画像を保存");
  ExpectPictures(w->SavePictureButton, {w->ResidualChart, w->CurveChart}, QColor(30, 90, 200),
                 {w->ResidualChart->chart()->title(), QStringLiteral("95%信頼帯"),
                  w->Heading->text(), QStringLiteral("窒素無機化量")},
                 "stats");
  EXPECT_TRUE(env.dialogs.suggestedPaths.front().contains("フィット統計"));
  const QImage png(QString::fromStdString(Out("stats.png")));
  // Both charts are in it: the left half and the right half each hold drawing.
  const QImage left = png.copy(0, 0, png.width() / 2, png.height());
  const QImage right = png.copy(png.width() / 2, 0, png.width() / 2, png.height());
  for (const QImage& half : {left, right}) {
    EXPECT_LT(PixelsNear(half, Qt::white), half.width() * half.height() * 98 / 100);
  }
}

TEST_F(ExportScreens, ParameterListWritesEverySetAndTheSelectionWindowTheChosenOnes) {
  env.store.ParaTable.Append(Para("黒ボク土", 1, {"17000", "0.022", "11.5", "0.9"}));
  env.store.ParaTable.Append(Para("灰色低地土, \"A\"\n圃場", 2,
                                  {"15000", "21000", "0.1", "0.01", "3.5", "8.25", "0.5"}, true));
  env.store.ParaTable.Append(Para("被覆尿素", 5, {"15000", "0.05", "93", "29.3", "22000"}));
  env.Show();
  QTest::mouseClick(env.main->Command2, Qt::LeftButton);  // "パラメータ一覧"
  auto* list = env.main->Find<ParaAll_Form>(Screen::ParaAll_Form);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Command9->text(), "エクスポート");
  EXPECT_EQ(list->Command9->accessibleName(), "エクスポート");
  ASSERT_TRUE(list->Command9->isVisible());

  // Cancelled: nothing written, nothing said.
  const auto listing = [this] {
    std::vector<fs::path> names;
    for (const auto& e : fs::recursive_directory_iterator(env.tmp.path().toStdString())) {
      names.push_back(e.path());
    }
    return names;
  };
  const std::vector<fs::path> before = listing();
  Cancel();
  QTest::mouseClick(list->Command9, Qt::LeftButton);
  EXPECT_EQ(env.dialogs.fileFilters.back(), kTableTypes);
  EXPECT_TRUE(env.dialogs.suggestedPaths.back().endsWith("/パラメータ一覧.xlsx"));
  EXPECT_EQ(listing(), before);
  EXPECT_TRUE(Messages().isEmpty());

  // Every set, in table order, in the workbook and in the CSV file.
  Answer(Out("sets.xlsx"));
  QTest::mouseClick(list->Command9, Qt::LeftButton);
  Answer(Out("sets.csv"));
  QTest::mouseClick(list->Command9, Qt::LeftButton);
  ASSERT_TRUE(Messages().isEmpty()) << Messages().join('|').toStdString();
  const Json book = ReadXlsx(Out("sets.xlsx"));
  ASSERT_EQ(book.size(), 1u);
  const Json& rows = book[0]["rows"];
  ASSERT_EQ(rows.size(), 4u);
  const Json csv = ReadCsv(Out("sets.csv"));
  ASSERT_EQ(csv.size(), 4u);
  EXPECT_EQ(test::ReadBytes(Out("sets.csv")).substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(rows[0][0]["v"].text, "名前");
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    const ParaRecord rec = env.store.ParaTable(i);
    EXPECT_EQ(rows[i][0]["v"].text, rec.SoilName);
    EXPECT_EQ(csv[i][0].text, rec.SoilName);
    EXPECT_EQ(rows[i][1]["v"].text, ModelName(rec.ModelNo));
    EXPECT_EQ(csv[i][1].text, ModelName(rec.ModelNo));
  }

  // The print selection window: the chosen sets only, in list order.
  QTest::mouseClick(list->Command2, Qt::LeftButton);  // "データ印刷"
  PriFrm_Select* select = env.main->PrintSelection();
  ASSERT_NE(select, nullptr);
  EXPECT_EQ(select->Command5->text(), "エクスポート");
  EXPECT_EQ(select->Command5->accessibleName(), "エクスポート");
  select->List1->clearSelection();
  select->List1->item(2)->setSelected(true);
  select->List1->item(0)->setSelected(true);
  Answer(Out("chosen.csv"));
  QTest::mouseClick(select->Command5, Qt::LeftButton);
  const Json chosen = ReadCsv(Out("chosen.csv"));
  ASSERT_EQ(chosen.size(), 3u);
  EXPECT_EQ(chosen[1][0].text, "黒ボク土");
  EXPECT_EQ(chosen[2][0].text, "被覆尿素");
  // None chosen: all of them; the window stays for printing.
  select->List1->clearSelection();
  Answer(Out("all.xlsx"));
  QTest::mouseClick(select->Command5, Qt::LeftButton);
  EXPECT_EQ(ReadXlsx(Out("all.xlsx"))[0]["rows"].size(), 4u);
  EXPECT_EQ(env.main->PrintSelection(), select);
  EXPECT_EQ(env.dialogs.fileFilters.back(), kTableTypes);

  // A failure names the file in Japanese and leaves the old file as it was.
  std::ofstream(Out("keep.txt")) << "old";
  Answer(Out("keep.txt"));
  QTest::mouseClick(select->Command5, Qt::LeftButton);
  EXPECT_EQ(test::ReadBytes(Out("keep.txt")), "old");
  ASSERT_EQ(Messages().size(), 1);
  EXPECT_TRUE(Messages()[0].contains("keep.txt")) << Messages()[0].toStdString();
  EXPECT_TRUE(Messages()[0].contains(".xlsx"));
  select->close();
}

TEST_F(ExportScreens, EstimationsFromTheScreenAndChosenFromTheSelectionWindow) {
  env.store.ParaTable.Append(Para("黒ボク土", 1, {"17000", "0.022", "11.5", "0.9"}));
  env.store.ParaTable.Append(Para("被覆尿素", 5, {"15000", "0.05", "93", "29.3", "22000"}));
  env.store.TionTable.Append(Tion(
      "つくば",
      {{"2006/04/01", "12.5"}, {"2006/04/02", "13"}, {"2006/04/03", ""}, {"2006/04/04", "25"}}));
  env.Show();
  QTest::mouseClick(env.main->Command5, Qt::LeftButton);
  auto* s = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Command12->accessibleName(), "エクスポート");
  // Nothing stored yet: a message, no file question.
  QTest::mouseClick(s->Command12, Qt::LeftButton);
  EXPECT_EQ(Messages(), QStringList{"書き出すデータがありません"});
  env.dialogs.shown.clear();

  Pick(s->List2, 0);
  for (int p : {0, 1}) {
    Pick(s->List1, p);
    QTest::mouseClick(s->Text1, Qt::LeftButton);  // "④ 計算"
  }
  ASSERT_EQ(env.store.SuiteiCount(), 2);

  Answer(Out("est.xlsx"));
  QTest::mouseClick(s->Command12, Qt::LeftButton);
  EXPECT_EQ(env.dialogs.fileFilters.back(), kTableTypes);
  ASSERT_TRUE(Messages().isEmpty()) << Messages().join('|').toStdString();
  const Json book = ReadXlsx(Out("est.xlsx"));
  ASSERT_EQ(book.size(), 2u);
  for (int e = 1; e <= 2; ++e) {
    SCOPED_TRACE(e);
    // Each estimation on its own sheet, ending with its last day as stored.
    const auto stored = SplitGridText(env.store.SuiteiTable(e).GridText);
    const Json& last = book[e - 1]["rows"].items.back();
    ASSERT_EQ(last[0]["k"].text, "d");
    EXPECT_EQ(last[0]["v"][2].number, 4);
    EXPECT_NEAR(Num(last[2]), std::stod(stored.back()[1]), 0.005);
  }
  Answer(Out("est.csv"));
  QTest::mouseClick(s->Command12, Qt::LeftButton);
  const Json csv = ReadCsv(Out("est.csv"));
  ASSERT_EQ(csv.size(), 1u + 4 + 4);
  EXPECT_EQ(csv[0][0].text, "名前");
  EXPECT_EQ(csv[1][0].text, "黒ボク土");
  EXPECT_EQ(csv[5][0].text, "被覆尿素");

  // The selection window of estimations: the chosen one only.
  QTest::mouseClick(s->Command6, Qt::LeftButton);  // "印刷"
  PriFrm_Select* select = env.main->PrintSelection();
  ASSERT_NE(select, nullptr);
  select->List1->clearSelection();
  select->List1->item(1)->setSelected(true);
  Answer(Out("one.csv"));
  QTest::mouseClick(select->Command5, Qt::LeftButton);
  EXPECT_TRUE(env.dialogs.suggestedPaths.back().endsWith("/被覆尿素 × つくば.xlsx"))
      << env.dialogs.suggestedPaths.back().toStdString();
  const Json one = ReadCsv(Out("one.csv"));
  ASSERT_EQ(one.size(), 5u);
  for (size_t i = 1; i < one.size(); ++i) EXPECT_EQ(one[i][0].text, "被覆尿素");
  EXPECT_TRUE(Messages().isEmpty());
  select->close();
}

// A field fit of a coated fertilizer: one sheet of the samples, whose
// residuals add up to each model's sum, and the Gaussian model's six values
// with k to four decimals as the results screen shows it.
TEST(FitWorkbook, FieldFitOfAFertilizerHasOneSheetOfSamplesAndAllThreeModels) {
  FitRequest request;
  request.source = FitSource::Field;
  request.table =
      GridFromRows(SplitGridText(BenchTable("field-fertilizer-1y.tsv"), kSpreadsheetFormat), 2, 3);
  request.name = "被覆尿素";
  request.standardTemp = "25";
  request.isFertilizer = true;
  FitSession s;
  ASSERT_EQ(StartFit(s, request, nullptr).outcome, FitOutcome::Completed);
  const FitSession before = s;
  const std::vector<Sheet> sheets = FitSheets(s);
  EXPECT_EQ(s.chartTable.size(), before.chartTable.size());
  EXPECT_EQ(s.currentModel, before.currentModel);
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(sheets[0].name, "圃場");
  ASSERT_EQ(static_cast<int>(sheets[0].rows.size()), s.obsCount + 1);
  std::array<double, 7> sums{};
  for (size_t i = 1; i < sheets[0].rows.size(); ++i) {
    const auto& row = sheets[0].rows[i];
    ASSERT_EQ(row.size(), 2u + 3 * 3);
    EXPECT_EQ(row[1].number, StoredSingle(s.fieldObserved[i]));
    for (int k = 0; k < 3; ++k) {
      const double residual = row[4 + 3 * k].number;
      sums[4 + k] += residual * residual;
    }
  }
  for (int16_t m : {4, 5, 6}) EXPECT_NEAR(sums[m], s.rss[m], 1e-4 * s.rss[m]) << m;
  const Sheet& p = sheets[1];
  ASSERT_EQ(p.rows.size(), 5u + (4 + 2) + (5 + 2) + (6 + 2));
  const auto& gaussK = p.rows[5 + 6 + 7 + 1];
  EXPECT_EQ(gaussK[0].text, ModelName(6));
  EXPECT_EQ(gaussK[1].text, "k");
  EXPECT_EQ(gaussK[2].decimals, 4);
  EXPECT_EQ(gaussK[2].number, StoredSingle(s.params[5][1]));
  EXPECT_EQ(p.rows[5 + 6 + 7 + 5][1].text, "σ");
  EXPECT_EQ(p.rows[5 + 6 + 7 + 5][2].number, StoredSingle(s.params[6][0]));
}

}  // namespace
}  // namespace kelvora
