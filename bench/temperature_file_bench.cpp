// Temperature files into the preview "地温ファイルの読込": a year of 1-minute
// logger readings (525 600 rows, about 20 MB) read, averaged into days and
// shown; and files up to the 64 MiB limit in the shapes that once were slow
// (one line of many thousand dates, a huge cell, nothing but separators or
// line breaks), each read or refused. Each iteration is what the screen does
// between the file question and the preview on the screen: the worker's
// reading, split, guess and daily means, then the dialog built and painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSpinBox>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "screens/temperature_file_dialog.h"
#include "store/cp932.h"
#include "store/temperature_import.h"

namespace kelvora {
namespace {

std::string Write(const QTemporaryDir& dir, const char* name, const std::string& bytes) {
  const std::string path = dir.filePath(QString::fromUtf8(name)).toStdString();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// A year of readings every minute: date and time in one column, one channel.
std::string YearOfMinutes(size_t limitBytes = SIZE_MAX) {
  std::string text = "No.,日時,地温(℃)\r\n";
  text.reserve(21'000'000);
  char line[64];
  for (int64_t m = 0;; ++m) {
    const CivilDate d = DateOfDayNumber(DayNumber({2024, 1, 1}) + m / 1440);
    const int minute = static_cast<int>(m % 1440);
    const int tenths = 150 + static_cast<int>((m * 7919) % 200) - 100;
    std::snprintf(line, sizeof line, "%lld,%04d/%02d/%02d %02d:%02d:00,%d.%02d\r\n",
                  static_cast<long long>(m + 1), d.year, d.month, d.day, minute / 60, minute % 60,
                  tenths / 10, (tenths % 10) * 10 + static_cast<int>(m % 10));
    if (limitBytes == SIZE_MAX ? m == 525'600 : text.size() + std::strlen(line) > limitBytes) break;
    text += line;
  }
  return text;
}

// Read, guessed, averaged and shown as the screen shows it (a file refused:
// its message instead). `series` counts the reads that gave a series.
void ReadAndShow(benchmark::State& state, const std::string& path, bool mustRead) {
  int series = 0;
  for (auto _ : state) {
    TemperatureFileLoad load = LoadTemperatureFile(path);
    if (load.read.series) ++series;
    if (mustRead && !load.read.series) {
      state.SkipWithError((load.error + load.read.error).c_str());
      break;
    }
    state.counters["refused"] = load.error.empty() ? 0 : 1;
    if (!load.error.empty()) continue;
    TemperatureFileDialog preview(std::move(load));
    preview.resize(1000, 560);
    preview.show();
    QApplication::processEvents();
  }
  state.counters["series"] = series;
}

void BM_YearOfMinuteReadingsIntoThePreview(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string text = YearOfMinutes();
  const std::string path = Write(dir, "year.csv", text);
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
  ReadAndShow(state, path, true);
}
BENCHMARK(BM_YearOfMinuteReadingsIntoThePreview)->Unit(benchmark::kMillisecond)->UseRealTime();

// A choice changed in the preview (the share for incomplete days): the
// chosen columns read again on the screen's thread.
void BM_ChoiceChangedInThePreview(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string path = Write(
      dir, "year.csv", state.range(0) == 0 ? YearOfMinutes() : YearOfMinutes(kMaxTextFileBytes));
  TemperatureFileDialog preview(LoadTemperatureFile(path));
  preview.show();
  QApplication::processEvents();
  int share = 75;
  for (auto _ : state) {
    share = share == 75 ? 70 : 75;
    preview.CoverageBox->setValue(share);
    QApplication::processEvents();
  }
  if (!preview.Result().series) state.SkipWithError("no series");
  state.SetLabel(state.range(0) == 0 ? "a year, 18 MB" : "64 MiB");
}
BENCHMARK(BM_ChoiceChangedInThePreview)
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Files of (nearly) 64 MiB, the limit.
constexpr size_t kLimit = kMaxTextFileBytes;

void BM_LargestFiles(benchmark::State& state) {
  QTemporaryDir dir;
  std::string text;
  bool readable = false;
  switch (state.range(0)) {
    case 0:  // readings every minute for some 3.3 years
      text = YearOfMinutes(kLimit);
      readable = true;
      state.SetLabel("1-minute readings");
      break;
    case 1: {  // one line of dates and no number
      while (text.size() + 9 < kLimit) text += "2025/4/1,";
      state.SetLabel("one line of dates");
      break;
    }
    case 2:  // one quoted cell
      text = "\"" + std::string(kLimit - 8, 'x') + "\",1\n";
      state.SetLabel("one huge cell");
      break;
    case 3:  // nothing but separators
      text = std::string(kLimit, ',');
      state.SetLabel("separators only");
      break;
    case 4:  // nothing but line breaks
      text = std::string(kLimit, '\n');
      state.SetLabel("line breaks only");
      break;
    case 5: {  // code page 932 text without a date
      std::string line = EncodeCp932("観測値なし、地温計の点検中です。\r\n").value();
      while (text.size() + line.size() < kLimit) text += line;
      state.SetLabel("code page 932 lines");
      break;
    }
    case 7: {  // the 1-minute readings as UTF-16 ("Unicode テキスト")
      std::string ascii = YearOfMinutes(kLimit / 2 - 2);
      ascii = "No.,Time,CH1\r\n" + ascii.substr(ascii.find('\n') + 1);
      text = "\xFF\xFE";
      for (char c : ascii) text += {c, '\0'};
      readable = true;
      state.SetLabel("1-minute readings, UTF-16");
      break;
    }
    case 6:  // one byte over the limit: refused at once
      text = std::string(kLimit + 1, 'a');
      state.SetLabel("over the limit");
      break;
  }
  const std::string path = Write(dir, "big.csv", text);
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
  text.clear();
  text.shrink_to_fit();
  ReadAndShow(state, path, readable);
}
BENCHMARK(BM_LargestFiles)
    ->DenseRange(0, 7)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kelvora
