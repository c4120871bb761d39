// What the CSV and the workbook writers of sheet_file.h share inside the
// store: the text rules of cells, an output held in pieces, and the writer of
// the workbook format.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/sheet_file.h"

namespace kelvora::sheet_parts {

// A worksheet's limits.
inline constexpr size_t kMaxSheetRows = 1048576;
inline constexpr size_t kMaxSheetCols = 16384;

// One character of UTF-8 text: its bytes and code point. Bytes that are no
// valid UTF-8 count as one character each (length 1, code = the byte).
struct Utf8Char {
  size_t length;
  char32_t code;
};
Utf8Char NextChar(std::string_view s, size_t i);
int Utf16Units(char32_t code);
// Width of the longest line of a text, in display columns (two for the wide
// characters of Japanese text).
int TextColumns(const std::string& s);
// A number's text: the shortest that reads back for decimals < 0, else with
// that many decimals (never "-0.00").
std::string NumberCsvText(double v, int decimals);
// A date cell as yyyy/mm/dd, and whether it names a day that exists
// (1900..9999).
std::string DateCellText(const SheetCell& c);
bool IsRealDate(const SheetCell& c);

// Bytes appended in pieces of 256 KiB that never move once written, so that a
// large file is held once, never twice while a growing text is copied.
class PieceBytes {
 public:
  static constexpr size_t kPiece = 1 << 18;

  uint64_t Size() const {
    return pieces_.empty() ? 0 : (pieces_.size() - 1) * uint64_t{kPiece} + used_;
  }
  void Append(std::string_view s) {
    while (!s.empty()) {
      const auto [room, free] = Room();
      const size_t n = std::min(free, s.size());
      std::memcpy(room, s.data(), n);
      Used(n);
      s.remove_prefix(n);
    }
  }
  // Room to write into directly (at least one byte); Used(n) keeps n of it.
  std::pair<char*, size_t> Room() {
    if (pieces_.empty() || used_ == kPiece) {
      if (!pieces_.empty()) pieces_.back().resize(kPiece);
      pieces_.emplace_back(kPiece, '\0');
      used_ = 0;
    }
    return {pieces_.back().data() + used_, kPiece - used_};
  }
  void Used(size_t n) { used_ += n; }
  char& At(uint64_t offset) { return pieces_[offset / kPiece][offset % kPiece]; }
  // The pieces, the last one cut to what it holds.
  const std::vector<std::string>& Pieces() {
    if (!pieces_.empty()) pieces_.back().resize(used_);
    return pieces_;
  }

 private:
  std::vector<std::string> pieces_;
  size_t used_ = 0;  // bytes of the last piece in use
};

// A workbook (.xlsx) written sheet by sheet: each sheet's part is compressed
// as it is made; the shared strings, the styles and the parts that list the
// sheets follow in Finish. The same sheets always give the same bytes (no
// time is stored).
class XlsxWriter {
 public:
  XlsxWriter();
  ~XlsxWriter();
  XlsxWriter(const XlsxWriter&) = delete;
  XlsxWriter& operator=(const XlsxWriter&) = delete;

  // False (with the reason) when the compressor could not be set up.
  bool Ok(std::string& reason) const;
  // `name` must be valid already (ValidSheetNames).
  bool AddSheet(const Sheet& sheet, const std::string& name, std::string& reason);
  bool Finish(std::string& reason);
  // The whole file, after Finish.
  const std::vector<std::string>& Pieces();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelvora::sheet_parts
