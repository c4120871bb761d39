#include "cli/import_temperatures.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <locale>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

#include "cli/input_checks.h"
#include "cli/json.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "store/number_text.h"
#include "store/temperature_import.h"

namespace kelvora {

const char* const kImportTemperaturesHelp =
    "使い方: kelvora-cli import-temperatures FILE DIR [--name NAME] [--skip N]\n"
    "        [--date-column N] [--time-column N] [--temperature-column N[,N...]]\n"
    "        [--min-coverage 0.75] [--keep-incomplete] [--dry-run]\n"
    "\n"
    "地温のファイル（データロガーや気象データの CSV・TAB 区切りのテキスト。UTF-8、\n"
    "シフトJIS、バイト順マーク付きの UTF-16）を読み、日ごとの地温の系列として\n"
    "データフォルダ DIR の TionData.txt に追加します。1日に複数回の読み取りがある\n"
    "ファイルは、日ごとの平均（小数2桁に四捨五入）にします。\n"
    "オプションを省くと、地温入力の「ファイルから読込」と同じく行と列を推測します。\n"
    "\n"
    "  --name NAME               系列名（既定はファイル名。複数の列では「NAME 列の見出し」）\n"
    "  --skip N                  データの前に読み飛ばす行数\n"
    "  --date-column N           日付の列（1から数えます。日付と時刻が1つの列でも可）\n"
    "  --time-column N           時刻の列（0 で時刻の列なし）\n"
    "  --temperature-column N,.. 地温の列。複数の列はそれぞれ1つの系列になります\n"
    "  --min-coverage R          読み取り数がふだんの R 倍（0〜1、既定 0.75）に満たない日を\n"
    "                            不完全な日とし、地温を空欄にします\n"
    "  --keep-incomplete         不完全な日にも、読めた値の平均を入れます\n"
    "  --dry-run                 読み取って結果を表示するだけで、フォルダは変更しません\n"
    "\n"
    "結果は JSON で標準出力へ: {\"series\": [{\"name\", \"first\", \"last\", \"days\",\n"
    "\"incomplete_days\", \"missing_days\", \"failed_readings\", \"readings_per_day\"}],\n"
    "\"encoding\", \"separator\", \"sub_daily\"}。\n"
    "TionData.txt は一時ファイルに書いてから置き換え、元の内容を TionData.bak に残します。\n"
    "ほかの4つのファイルは変更しません。\n"
    "ファイルや指定に誤りがあるとき、ケルボラ１がフォルダを使用中のとき、書き込めない\n"
    "ときは終了コード 2（フォルダは元のまま。追加した後で結果を標準出力に書き込めなかった\n"
    "ときも終了コード 2 で、追加したことを表示します）。\n";

namespace {

struct Usage {
  std::string message;
};

struct ImportOptions {
  std::string file;
  std::string dir;
  std::optional<std::string> name;
  std::optional<int> skip;
  std::optional<int> dateColumn;
  std::optional<int> timeColumn;  // 0: none
  std::vector<int> temperatureColumns;
  DailyMeanRule rule;
  bool dryRun = false;
  bool help = false;
};

// A whole number of at least `least` written in ASCII digits.
int WholeNumber(const std::string& option, const std::string& text, int least) {
  const std::optional<int64_t> v = ParseWholeNumber(text);
  if (!v || *v < least || *v > 32767) {
    throw Usage{option + " の値「" + ShortText(text) + "」は" + std::to_string(least) +
                "以上の整数にして下さい。"};
  }
  return static_cast<int>(*v);
}

ImportOptions ParseImportOptions(const std::vector<std::string>& args) {
  ImportOptions o;
  std::map<std::string, int> seen;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a.size() < 2 || a[0] != '-' || a == "-") {
      positional.push_back(a);
      continue;
    }
    std::optional<std::string> value;
    if (const size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
    }
    const bool flag = a == "--keep-incomplete" || a == "--dry-run";
    static const char* const kValued[] = {
        "--name",        "--skip", "--date-column", "--time-column", "--temperature-column",
        "--min-coverage"};
    const bool valued = std::find(std::begin(kValued), std::end(kValued), a) != std::end(kValued);
    if (!flag && !valued) throw Usage{"不明なオプションです: " + args[i]};
    if (++seen[a] > 1) throw Usage{"オプション " + a + " が2回以上指定されています。"};
    if (flag) {
      if (value) throw Usage{"オプション " + a + " に値は付けられません。"};
      (a == "--dry-run" ? o.dryRun : o.rule.keepIncomplete) = true;
      continue;
    }
    if (!value) {
      if (i + 1 >= args.size()) throw Usage{"オプション " + a + " に値がありません。"};
      value = args[++i];
    }
    if (a == "--name") {
      if (!IsUtf8(*value)) throw Usage{"--name の値が UTF-8 ではありません。"};
      o.name = *value;
    } else if (a == "--skip") {
      o.skip = WholeNumber(a, *value, 0);
    } else if (a == "--date-column") {
      o.dateColumn = WholeNumber(a, *value, 1);
    } else if (a == "--time-column") {
      o.timeColumn = WholeNumber(a, *value, 0);
    } else if (a == "--temperature-column") {
      std::string part;
      std::istringstream list(*value);
      while (std::getline(list, part, ',')) o.temperatureColumns.push_back(WholeNumber(a, part, 1));
      if (o.temperatureColumns.empty() || value->back() == ',') {
        throw Usage{a + " には列の番号をカンマ区切りで指定して下さい。"};
      }
    } else {
      const std::optional<double> share = ParseDouble(*value);
      if (!share || !(*share >= 0 && *share <= 1)) {
        throw Usage{"--min-coverage の値「" + ShortText(*value) + "」は0から1の数にして下さい。"};
      }
      o.rule.minCoverage = *share;
    }
  }
  if (o.help) return o;
  if (positional.size() != 2) {
    throw Usage{"地温のファイルとデータフォルダを指定して下さい。"};
  }
  o.file = positional[0];
  o.dir = positional[1];
  return o;
}

// The guess with what the options say instead.
TemperatureColumns ChosenColumns(const ImportOptions& o, const TemperatureFileLoad& load) {
  TemperatureColumns c = load.guess;
  if (o.skip) c.headerRows = *o.skip;
  if (o.dateColumn) c.dateColumn = *o.dateColumn - 1;
  if (o.timeColumn) c.timeColumn = *o.timeColumn - 1;
  if (!o.temperatureColumns.empty()) {
    c.temperatureColumn = o.temperatureColumns.front() - 1;
    c.moreTemperatureColumns.clear();
    for (size_t k = 1; k < o.temperatureColumns.size(); ++k) {
      c.moreTemperatureColumns.push_back(o.temperatureColumns[k] - 1);
    }
  }
  return c;
}

std::string DayArray(const std::vector<CivilDate>& days) {
  std::string out = "[";
  for (size_t i = 0; i < days.size(); ++i) {
    if (i) out += ", ";
    out += JsonString(DateText(days[i]));
  }
  return out + "]";
}

std::string ResultJson(const TemperatureFileLoad& load, const TemperatureSeries& s,
                       const std::vector<TionRecord>& records) {
  std::ostringstream json;
  json.imbue(std::locale::classic());
  json << "{\"series\": [";
  for (size_t k = 0; k < s.channels.size(); ++k) {
    const ChannelSeries& ch = s.channels[k];
    if (k) json << ", ";
    json << "{\"name\": " << JsonString(records[k].SiteName)
         << ", \"first\": " << JsonString(s.dates.front())
         << ", \"last\": " << JsonString(s.dates.back()) << ", \"days\": " << s.dates.size()
         << ", \"incomplete_days\": " << DayArray(ch.incompleteDays)
         << ", \"missing_days\": " << DayArray(s.missingDays)
         << ", \"failed_readings\": " << ch.failedReadings
         << ", \"readings_per_day\": " << ch.readingsPerDay << "}";
  }
  json << "], \"encoding\": " << JsonString(EncodingJsonName(load.encoding))
       << ", \"separator\": " << JsonString(SeparatorJsonName(load.separator))
       << ", \"sub_daily\": " << JsonBool(s.subDaily) << "}\n";
  return json.str();
}

// Adds the records to the folder's TionData.txt under the folder's lock: the
// old file kept as TionData.bak, the new one written beside it and renamed.
bool AddToFolder(const std::filesystem::path& dir, const std::vector<TionRecord>& records,
                 std::ostream& err) {
  FolderLock lock;
  std::string detail;
  switch (lock.Take(dir, detail)) {
    case FolderLock::Result::Taken:
      break;
    case FolderLock::Result::InUse:
      err << "データフォルダ「" << dir.string() << "」は、別に起動しているケルボラ１"
          << (detail.empty() ? "" : "（プロセス番号 " + detail + "）")
          << "が使用中です。ケルボラ１を終了してから追加して下さい。\n";
      return false;
    case FolderLock::Result::Failed:
      err << "データフォルダ「" << dir.string() << "」を使えません。\n" << detail << "\n";
      return false;
  }
  if (!NoRecoveryCopyWaits(dir, err)) return false;
  const std::filesystem::path path = dir / kTionFile;
  std::string old;
  std::string reason;
  Table<TionRecord> table;
  std::error_code ec;
  const bool exists = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
  if (exists) {
    if (!ReadFileWhole(path, old, reason)) {
      err << "「" << path.string() << "」を読み込めません。\n" << reason << "\n";
      return false;
    }
    int badLine = 0;
    if (!DecodeTable(table, old, badLine, reason)) {
      err << "「" << path.string() << "」の" << badLine << "行目を読み取れないため（" << reason
          << "）、地温を追加しません。\n";
      return false;
    }
  }
  std::string problem;
  if (!AppendSeriesRecords(table, records, problem)) {
    err << problem << "\n";
    return false;
  }
  std::string bytes;
  if (!EncodeTable(table, bytes, problem)) {
    err << problem << "\n";
    return false;
  }
  if (exists) {
    const std::filesystem::path bak = BakPathOf(path);
    if (!WriteBakCopy(path, old, reason)) {
      err << "バックアップファイル「" << bak.string() << "」を書き込めないため、追加しません。\n"
          << reason << "\n";
      return false;
    }
  }
  if (!WriteFileAtomically(path, bytes, reason)) {
    err << "「" << path.string() << "」を書き込めません。\n" << reason << "\n";
    return false;
  }
  return true;
}

}  // namespace

int RunImportTemperatures(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
  ImportOptions o;
  try {
    o = ParseImportOptions(args);
  } catch (const Usage& u) {
    err << u.message << "\n（kelvora-cli import-temperatures --help で使い方を表示します）\n";
    return 2;
  }
  if (o.help) {
    out << kImportTemperaturesHelp;
    return out.flush() ? 0 : 2;
  }
  if (!HoldsDataFiles(o.dir, err)) return 2;
  TemperatureFileLoad load = LoadTemperatureFile(o.file);
  if (!load.error.empty()) {
    err << load.error << "\n";
    return 2;
  }
  const TemperatureColumns columns = ChosenColumns(o, load);
  for (int c : columns.AllTemperatureColumns()) {
    if (c >= load.rows.MaxFields()) {
      err << "ファイル「" << load.fileName << "」に" << c + 1 << "列目はありません。\n";
      return 2;
    }
  }
  // The guess was read with the usual rule already.
  const bool asGuessed = columns == load.guess && !o.rule.keepIncomplete &&
                         o.rule.minCoverage == DailyMeanRule{}.minCoverage;
  const TemperatureRead read =
      asGuessed ? std::move(load.read) : ReadTemperatureSeries(load.rows, columns, o.rule);
  if (!read.series) {
    err << "ファイル「" << load.fileName << "」: " << read.error << "\n";
    return 2;
  }
  std::vector<TionRecord> records;
  std::string problem;
  if (!SeriesRecords(*read.series, SeriesNames(o.name.value_or(load.baseName), load.rows, columns),
                     records, problem)) {
    err << problem << "\n";
    return 2;
  }
  if (!o.dryRun && !AddToFolder(o.dir, records, err)) return 2;
  out << ResultJson(load, *read.series, records);
  out.flush();
  if (!out) {
    err << "結果を標準出力に書き込めませんでした。\n";
    // A script must not add the series a second time.
    if (!o.dryRun) err << "地温データは " << kTionFile << " に追加してあります。\n";
    return 2;
  }
  return 0;
}

}  // namespace kelvora
