// The printed reports drawn into a PDF file: a season's parameter sets (60,
// ten pages) and one ten-year estimation (3 653 days, fourteen pages), as
// "印刷" and kelvora-cli report draw them: the time a user waits before the
// pages go out.
#include <benchmark/benchmark.h>

#include <QDate>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cmath>

#include "print/page_output.h"
#include "print/reports.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace {

using namespace kelvora;

std::vector<ParaRecord> Season() {
  std::vector<ParaRecord> records;
  for (int i = 0; i < 60; ++i) {
    ParaRecord r;
    r.SoilName = "圃場" + std::to_string(i + 1) + "（灰色低地土）";
    r.ModelNo = static_cast<int16_t>(1 + i % 6);
    r.Param = {16752, 0.0204f, 9.73f, 1.66f, 19588, 3.25f, 1};
    r.Aic = -1.17f;
    r.Rss = 0.68f;
    r.StdTemp = 25;
    records.push_back(r);
  }
  return records;
}

SuiteiRecord TenYears() {
  SuiteiRecord r;
  r.ModelNo = 1;
  r.SoilName = "灰色低地土";
  r.SiteName = "つくば 2010-2019";
  std::vector<std::vector<std::string>> rows{{"年/月/日", "(mg/100g)"}};
  const QDate first(2010, 1, 1);
  for (int d = 0; d < 3653; ++d) {
    rows.push_back({first.addDays(d).toString(QStringLiteral("yyyy/MM/dd")).toStdString(),
                    FormatFixed(10 * (1 - std::exp(-0.004 * d)), 2)});
  }
  r.GridText = JoinGridText(rows);
  return r;
}

void BM_ParameterReport60Sets(benchmark::State& state) {
  QTemporaryDir dir;
  const std::vector<ParaRecord> records = Season();
  for (auto _ : state) {
    PdfFileSink sink(dir.filePath(QStringLiteral("para.pdf")));
    if (!PrintParameterReport(sink, records) || !sink.Finish()) state.SkipWithError("not drawn");
  }
}
BENCHMARK(BM_ParameterReport60Sets)->Unit(benchmark::kMillisecond);

void BM_EstimationReportTenYears(benchmark::State& state) {
  QTemporaryDir dir;
  const SuiteiRecord record = TenYears();
  for (auto _ : state) {
    PdfFileSink sink(dir.filePath(QStringLiteral("est.pdf")));
    if (!PrintEstimationReport(sink, record) || !sink.Finish()) state.SkipWithError("not drawn");
  }
}
BENCHMARK(BM_EstimationReportTenYears)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
