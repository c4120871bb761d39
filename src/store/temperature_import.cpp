#include "store/temperature_import.h"

#include "store/cp932.h"

namespace kelvora {

namespace {

void SetStage(std::atomic<int>* stage, LoadStage s) {
  if (stage != nullptr) stage->store(static_cast<int>(s), std::memory_order_relaxed);
}

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace

TemperatureFileLoad LoadTemperatureFile(const std::filesystem::path& path,
                                        const std::atomic<bool>* cancel, std::atomic<int>* stage) {
  TemperatureFileLoad out;
  out.fileName = path.filename().string();
  out.baseName = path.stem().string();
  SetStage(stage, LoadStage::Reading);
  TextFileRead read = ReadTextFile(path, cancel);
  if (Cancelled(cancel)) {
    out.cancelled = true;
    return out;
  }
  if (!read.file) {
    out.error = std::move(read.error);
    return out;
  }
  out.encoding = read.file->encoding;
  SetStage(stage, LoadStage::Splitting);
  const std::string& text = read.file->text;
  out.separator = DetectSeparator(text);
  out.rows = DelimitedText(text, out.separator, SIZE_MAX, cancel);
  // The text is not needed any more: the rows hold every field.
  read.file.reset();
  if (out.rows.TooManyFields()) {
    out.error = "ファイル「" + out.fileName +
                "」は区切りや行が多すぎて、地温のファイルとして読み込めません。";
    out.rows = DelimitedText();
    return out;
  }
  if (Cancelled(cancel)) {
    out.cancelled = true;
    return out;
  }
  SetStage(stage, LoadStage::Guessing);
  out.guess = GuessTemperatureColumns(out.rows);
  if (Cancelled(cancel)) {
    out.cancelled = true;
    return out;
  }
  SetStage(stage, LoadStage::Averaging);
  out.read = ReadTemperatureSeries(out.rows, out.guess, DailyMeanRule{}, cancel);
  out.cancelled = out.read.cancelled || Cancelled(cancel);
  return out;
}

std::string EncodingName(FileEncoding encoding) {
  switch (encoding) {
    case FileEncoding::Utf8:
      return "UTF-8";
    case FileEncoding::Utf8WithBom:
      return "UTF-8（BOM付き）";
    case FileEncoding::Cp932:
      return "シフトJIS";
    case FileEncoding::Utf16Le:
      return "UTF-16 LE";
    case FileEncoding::Utf16Be:
      return "UTF-16 BE";
  }
  return std::string();
}

std::string EncodingJsonName(FileEncoding encoding) {
  switch (encoding) {
    case FileEncoding::Utf8:
      return "utf-8";
    case FileEncoding::Utf8WithBom:
      return "utf-8-bom";
    case FileEncoding::Cp932:
      return "cp932";
    case FileEncoding::Utf16Le:
      return "utf-16le";
    case FileEncoding::Utf16Be:
      return "utf-16be";
  }
  return std::string();
}

std::string SeparatorJsonName(char separator) {
  switch (separator) {
    case '\t':
      return "tab";
    case ';':
      return "semicolon";
    default:
      return "comma";
  }
}

std::vector<std::string> SeriesNames(const std::string& baseName, const DelimitedText& rows,
                                     const TemperatureColumns& columns) {
  const std::vector<int> temps = columns.AllTemperatureColumns();
  if (temps.size() == 1) return {baseName};
  std::vector<std::string> names;
  for (int c : temps) {
    std::string heading = ColumnHeading(rows, columns.headerRows, c);
    if (heading.empty()) heading = std::to_string(c + 1) + "列目";
    names.push_back(baseName.empty() ? heading : baseName + " " + heading);
  }
  return names;
}

bool SeriesRecords(const TemperatureSeries& series, const std::vector<std::string>& names,
                   std::vector<TionRecord>& records, std::string& problem) {
  records.clear();
  if (names.size() != series.channels.size()) {
    problem = "系列名の数が地温の列の数と合いません。";
    return false;
  }
  for (size_t k = 0; k < names.size(); ++k) {
    // As the screen's 適用 keeps a name: a double quote cannot be kept in the
    // data files, variants such as 〜 become the form they read back as.
    std::string name = ToStoredForms(ReplaceQuotes(names[k]));
    if (name.empty()) name = "新規温度";
    std::string bad;
    if (!CanStoreText(name, &bad)) {
      problem = UnstorableTextMessage(name, bad);
      return false;
    }
    records.push_back(TionRecord{std::move(name), SeriesGridText(series, k)});
  }
  return true;
}

bool AppendSeriesRecords(Table<TionRecord>& table, const std::vector<TionRecord>& records,
                         std::string& problem) {
  if (static_cast<size_t>(table.Count()) + records.size() > static_cast<size_t>(kMaxRecords)) {
    problem = TableFullMessage();
    return false;
  }
  for (const TionRecord& r : records) table.Append(r);
  return true;
}

}  // namespace kelvora
