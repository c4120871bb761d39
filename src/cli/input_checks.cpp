#include "cli/input_checks.h"

#include <chrono>
#include <iostream>
#include <sstream>

#include "kinetics/lab_table.h"
#include "store/data_files.h"
#include "store/recovery.h"

namespace kelvora {

bool ReadInputFile(const std::string& path, std::string& text, std::string& message) {
  if (path == "-") {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    if (std::cin.bad()) {
      message = "標準入力を読み込めません。";
      return false;
    }
    text = ss.str();
    return true;
  }
  std::string reason;
  // FIFOs are fine here (a shell's <(...)); folders and read errors are not.
  if (!ReadFileWhole(path, text, reason, false)) {
    message = "ファイル「" + path + "」を読み込めません（" + reason + "）。";
    return false;
  }
  return true;
}

bool HoldsDataFiles(const std::filesystem::path& dir, std::ostream& err) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    err << "データフォルダ「" << dir.string() << "」がありません。\n";
    return false;
  }
  for (const char* name : {kBaiyoFile, kParaFile, kTionFile, kSuiteiFile, kHojyoFile}) {
    if (std::filesystem::exists(std::filesystem::symlink_status(dir / name, ec))) return true;
  }
  err << "フォルダ「" << dir.string()
      << "」にはデータファイル（BaiyoData.txt, ParaData.txt, TionData.txt, Suitei.txt, "
         "Hojyo.txt）がありません。\n";
  return false;
}

bool NoRecoveryCopyWaits(const std::filesystem::path& dir, std::ostream& err) {
  if (!RecoveryCopyExists(dir)) return true;
  err << "データフォルダに保存されずに終了したデータの控え（" << kRecoveryFolder
      << "）があります。\n先にプログラムを起動して、復元するかどうかを決めて下さい。\n";
  return false;
}

// Overlong forms, surrogates and values beyond U+10FFFF are refused.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k) {
    if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
  }
  return n;
}

int FirstNonUtf8Line(std::string_view text) {
  int line = 1;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    const size_t n = Utf8Length(text, i);
    if (n == 0) return line;
    i += n;
  }
  return 0;
}

bool IsUtf8(std::string_view text) { return FirstNonUtf8Line(text) == 0; }

std::string ShortText(std::string_view text, size_t maxChars) {
  size_t i = 0, chars = 0;
  while (i < text.size() && chars < maxChars) {
    const size_t n = Utf8Length(text, i);
    i += n == 0 ? 1 : n;
    ++chars;
  }
  if (i >= text.size()) return std::string(text);
  return std::string(text.substr(0, i)) + "…";
}

std::vector<EmptiedCell> EmptiedCells(const GridTable& before, const GridTable& after) {
  std::vector<EmptiedCell> cells;
  const int rows = std::min(before.Rows(), after.Rows());
  const int cols = std::min(before.Cols(), after.Cols());
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      if (!before.Cell(r, c).empty() && after.Cell(r, c).empty()) {
        cells.push_back({r, c, before.Cell(r, c)});
      }
    }
  }
  return cells;
}

std::vector<EmptiedCell> CellsTheCleanUpEmpties(const GridTable& grid, bool field) {
  GridTable cleaned = grid;
  if (field) {
    CleanFieldTable(cleaned);
  } else {
    CleanIncubationTable(cleaned);
  }
  return EmptiedCells(grid, cleaned);
}

std::string DescribeCell(const EmptiedCell& cell) {
  return std::to_string(cell.row + 1) + "行" + std::to_string(cell.col + 1) + "列目「" +
         ShortText(cell.text) + "」";
}

bool ParseDate(std::string_view text, int& year, int& month, int& day) {
  int parts[3] = {0, 0, 0};
  int k = 0, digits = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (++digits > 4) return false;
      parts[k] = parts[k] * 10 + (c - '0');
    } else if (c == '/' && digits > 0 && k < 2) {
      ++k;
      digits = 0;
    } else {
      return false;
    }
  }
  if (k != 2 || digits == 0) return false;
  year = parts[0];
  month = parts[1];
  day = parts[2];
  const std::chrono::year_month_day ymd{std::chrono::year{year},
                                        std::chrono::month{static_cast<unsigned>(month)},
                                        std::chrono::day{static_cast<unsigned>(day)}};
  return year >= 1 && ymd.ok();
}

int FirstNonConsecutiveDay(const std::vector<std::string>& dates, int count) {
  using namespace std::chrono;
  sys_days previous{};
  for (int d = 1; d <= count && d < static_cast<int>(dates.size()); ++d) {
    int y = 0, m = 0, dd = 0;
    if (!ParseDate(dates[d], y, m, dd)) return d;
    const sys_days today{
        year_month_day{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(dd)}}};
    if (d > 1 && today != previous + days{1}) return d;
    previous = today;
  }
  return 0;
}

void ProgressLine::Model(const std::string& text) {
  model_ = text;
  sweep_ = 0;
  Draw(true);
}

void ProgressLine::Sweep(int sweep) {
  sweep_ = sweep;
  Draw(sweep == 1);
}

void ProgressLine::Draw(bool force) {
  if (!enabled_) return;
  const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
  if (!force && lastDrawMs_ >= 0 && now - lastDrawMs_ < 100) return;
  lastDrawMs_ = now;
  // Carriage return and "erase to the end of the line": the line is rewritten
  // in place, whatever the width of its Japanese characters.
  err_ << "\r\033[K" << model_;
  if (sweep_ > 0) err_ << "（反復 " << sweep_ << " 回）";
  err_.flush();
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!enabled_ || !drawn_) return;
  err_ << "\r\033[K";
  err_.flush();
  drawn_ = false;
}

}  // namespace kelvora
