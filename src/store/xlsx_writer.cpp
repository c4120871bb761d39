// The workbook format (.xlsx): a ZIP container of XML parts, written with
// zlib; the sheets are compressed one by one as they are made.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

#include "store/data_files.h"
#include "store/date_text.h"
#include "store/number_text.h"
#include "store/sheet_parts.h"

namespace kelvora::sheet_parts {
namespace {

// ---- The ZIP container of a workbook ---------------------------------------------------------

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Entries deflated one after another, in the classic format (no ZIP64): at
// most 65 535 entries and 4 GiB. Every entry carries the same time
// (1980-01-01 00:00), so the same sheets give the same bytes.
class ZipBytes {
 public:
  ZipBytes() { ok_ = deflateInit2(&z_, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
  ~ZipBytes() {
    if (ok_) deflateEnd(&z_);
  }
  ZipBytes(const ZipBytes&) = delete;
  ZipBytes& operator=(const ZipBytes&) = delete;

  bool Ok(std::string& reason) const {
    if (!ok_) reason = SystemReason(ENOMEM);
    return ok_;
  }

  bool Begin(const std::string& name, std::string& reason) {
    if (entries_.size() >= 0xFFFF) {
      reason = "ブックの部品が多すぎます";
      return false;
    }
    if (!FitsClassic(out_.Size(), reason)) return false;
    entries_.push_back({name, 0, 0, 0, static_cast<uint32_t>(out_.Size())});
    std::string h;
    Put32(h, 0x04034b50);
    Put16(h, 20);    // version needed: deflate
    Put16(h, 0);     // flags
    Put16(h, 8);     // deflated
    Put16(h, 0);     // 00:00
    Put16(h, 0x21);  // 1980-01-01
    Put32(h, 0);     // CRC and sizes: filled in by End
    Put32(h, 0);
    Put32(h, 0);
    Put16(h, static_cast<uint32_t>(name.size()));
    Put16(h, 0);
    h += name;
    out_.Append(h);
    dataStart_ = out_.Size();
    crc_ = crc32(0, nullptr, 0);
    size_ = 0;
    return deflateReset(&z_) == Z_OK || NoMemory(reason);
  }

  bool Write(std::string_view data, std::string& reason) {
    return Deflate(data, Z_NO_FLUSH, reason);
  }

  bool End(std::string& reason) {
    if (!Deflate({}, Z_FINISH, reason)) return false;
    const uint64_t compressed = out_.Size() - dataStart_;
    if (!FitsClassic(compressed, reason) || !FitsClassic(size_, reason)) return false;
    Entry& e = entries_.back();
    e.crc = static_cast<uint32_t>(crc_);
    e.compressed = static_cast<uint32_t>(compressed);
    e.size = static_cast<uint32_t>(size_);
    Patch32(e.offset + 14, e.crc);
    Patch32(e.offset + 18, e.compressed);
    Patch32(e.offset + 22, e.size);
    return true;
  }

  bool Add(const std::string& name, std::string_view data, std::string& reason) {
    return Begin(name, reason) && Write(data, reason) && End(reason);
  }

  // Appends the central directory; the pieces are the whole file then.
  bool Finish(std::string& reason) {
    const uint64_t start = out_.Size();
    if (!FitsClassic(start, reason)) return false;
    std::string d;
    for (const Entry& e : entries_) {
      Put32(d, 0x02014b50);
      Put16(d, 20);  // made by
      Put16(d, 20);  // needed
      Put16(d, 0);
      Put16(d, 8);
      Put16(d, 0);
      Put16(d, 0x21);
      Put32(d, e.crc);
      Put32(d, e.compressed);
      Put32(d, e.size);
      Put16(d, static_cast<uint32_t>(e.name.size()));
      Put16(d, 0);  // extra field
      Put16(d, 0);  // comment
      Put16(d, 0);  // disk
      Put16(d, 0);  // internal attributes
      Put32(d, 0);  // external attributes
      Put32(d, e.offset);
      d += e.name;
    }
    if (!FitsClassic(d.size(), reason)) return false;
    const auto directory = static_cast<uint32_t>(d.size());
    Put32(d, 0x06054b50);
    Put16(d, 0);
    Put16(d, 0);
    Put16(d, static_cast<uint32_t>(entries_.size()));
    Put16(d, static_cast<uint32_t>(entries_.size()));
    Put32(d, directory);
    Put32(d, static_cast<uint32_t>(start));
    Put16(d, 0);
    out_.Append(d);
    return true;
  }

  const std::vector<std::string>& Pieces() { return out_.Pieces(); }

 private:
  struct Entry {
    std::string name;
    uint32_t crc, compressed, size, offset;
  };

  static bool FitsClassic(uint64_t n, std::string& reason) {
    if (n <= 0xFFFFFFFFu) return true;
    reason = "ブックが大きすぎます（4 GB まで）";
    return false;
  }

  static bool NoMemory(std::string& reason) {
    reason = SystemReason(ENOMEM);
    return false;
  }

  void Patch32(uint64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      out_.At(at + static_cast<uint64_t>(i)) = static_cast<char>((v >> (8 * i)) & 0xFF);
  }

  bool Deflate(std::string_view data, int flush, std::string& reason) {
    // (No CRC call for no data: given no buffer, zlib answers the start value.)
    if (!data.empty()) {
      crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(data.data()), data.size());
    }
    size_ += data.size();
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z_.avail_in = static_cast<uInt>(data.size());
    for (;;) {
      const auto [room, free] = out_.Room();
      z_.next_out = reinterpret_cast<Bytef*>(room);
      z_.avail_out = static_cast<uInt>(free);
      const int r = deflate(&z_, flush);
      out_.Used(free - z_.avail_out);
      if (r == Z_STREAM_END) return true;
      if (r != Z_OK && r != Z_BUF_ERROR) return NoMemory(reason);
      if (flush == Z_NO_FLUSH && z_.avail_in == 0) return true;
    }
  }

  z_stream z_{};
  bool ok_ = false;
  std::vector<Entry> entries_;
  PieceBytes out_;
  uint64_t dataStart_ = 0;
  uLong crc_ = 0;
  uint64_t size_ = 0;
};

// ---- The XML parts --------------------------------------------------------------------------

constexpr const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kPackageRelNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void AppendHex4(std::string& out, char32_t code) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kDigits[(code >> shift) & 0xF]);
}

// Text for an XML element or attribute of the workbook. Characters XML cannot
// hold (the controls but TAB and LF; CR, which XML readers turn into LF) are
// written as the workbook format's escape _xHHHH_; an underscore that would
// begin such an escape in the text itself is escaped too (as _x005F_), so
// that "_x000D_" typed by a user reads back as those seven characters. Bytes
// that are no UTF-8 become U+FFFD.
void AppendXml(std::string& out, std::string_view s, bool attribute) {
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80) {
      const Utf8Char ch = NextChar(s, i);
      if (ch.length == 1) {
        out += "\xEF\xBF\xBD";
      } else if (ch.code == 0xFFFE || ch.code == 0xFFFF) {
        out += "_x";
        AppendHex4(out, ch.code);
        out += '_';
      } else {
        out.append(s, i, ch.length);
      }
      i += ch.length;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '_':
        if (i + 5 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && IsHex(s[i + 2]) &&
            IsHex(s[i + 3]) && IsHex(s[i + 4]) && IsHex(s[i + 5])) {
          out += "_x005F_";
        } else {
          out += '_';
        }
        break;
      default:
        if ((b < 0x20 && c != '\t' && c != '\n') || (attribute && b < 0x20)) {
          out += "_x";
          AppendHex4(out, b);
          out += '_';
        } else {
          out += c;
        }
    }
    ++i;
  }
}

std::string Xml(std::string_view s, bool attribute = true) {
  std::string out;
  AppendXml(out, s, attribute);
  return out;
}

// "A", "B", ... "Z", "AA" ...: a column's letters.
void AppendColumn(std::string& out, size_t col) {
  char letters[4];
  int n = 0;
  for (size_t c = col + 1; c > 0; c = (c - 1) / 26) {
    letters[n++] = static_cast<char>('A' + (c - 1) % 26);
  }
  while (n > 0) out.push_back(letters[--n]);
}

void AppendCellRef(std::string& out, size_t row, size_t col) {
  AppendColumn(out, col);
  out += std::to_string(row + 1);
}

// A column width as spreadsheets store it: characters of the standard font's
// digit (7 pixels) plus its padding (5 pixels), in 1/256ths.
double StoredColumnWidth(double width) {
  constexpr double kDigit = 7, kPadding = 5;
  if (width <= 0) return 0;
  if (width < 1) {
    return static_cast<uint16_t>(static_cast<uint16_t>(width * (kDigit + kPadding) + 0.5) / kDigit *
                                 256.0) /
           256.0;
  }
  return static_cast<uint16_t>((static_cast<uint16_t>(width * kDigit + 0.5) + kPadding) / kDigit *
                               256.0) /
         256.0;
}

// The spreadsheet's day number of a real date: days since 1899-12-30, less
// one before 1900-03-01 (spreadsheets count a 29 February 1900).
int64_t SerialDay(const SheetCell& c) {
  const int64_t n = DayNumber({c.year, c.month, c.day}) - DayNumber({1899, 12, 30});
  return c.year == 1900 && c.month <= 2 ? n - 1 : n;
}

// A cell's style: bold or not, and what it shows (text or blank, a number
// with `decimals` places or the general format, a date).
struct StyleKey {
  bool bold;
  int kind;  // 0 text/blank, 1 number, 2 date
  int decimals;
  bool operator<(const StyleKey& o) const {
    return std::tie(bold, kind, decimals) < std::tie(o.bold, o.kind, o.decimals);
  }
};

}  // namespace

// A workbook written sheet by sheet into a ZipBytes: each sheet is
// compressed as it is written; the shared strings, the styles and the
// workbook's parts that list the sheets follow at the end.
struct XlsxWriter::Impl {
  bool Ok(std::string& reason) const { return zip_.Ok(reason); }

  bool AddSheet(const Sheet& sheet, const std::string& name, std::string& reason) {
    if (sheet.rows.size() > kMaxSheetRows) {
      reason = "行が多すぎます（" + std::to_string(sheet.rows.size()) + "行）";
      return false;
    }
    // Widths and extent first: the sheet names them before its rows.
    std::vector<int> widths;
    size_t firstRow = SIZE_MAX, lastRow = 0, firstCol = SIZE_MAX, lastCol = 0;
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
      const auto& row = sheet.rows[r];
      if (row.size() > kMaxSheetCols) {
        reason = "列が多すぎます（" + std::to_string(row.size()) + "列）";
        return false;
      }
      if (widths.size() < row.size()) widths.resize(row.size(), 0);
      const bool bold = static_cast<int>(r) == sheet.headerRow;
      for (size_t c = 0; c < row.size(); ++c) {
        const SheetCell& cell = row[c];
        if (!Written(cell, bold)) continue;
        firstRow = std::min(firstRow, r);
        lastRow = std::max(lastRow, r);
        firstCol = std::min(firstCol, c);
        lastCol = std::max(lastCol, c);
        int w = 0;
        if (cell.kind == SheetCell::Kind::Text) {
          if (Utf16Length(cell.text) > kMaxTextUnits) {
            std::string at;
            AppendCellRef(at, r, c);
            reason = "シート「" + name + "」のセル " + at + " の文字が多すぎます（" +
                     std::to_string(kMaxTextUnits) + "文字まで）";
            return false;
          }
          w = TextColumns(cell.text);
        } else if (cell.kind == SheetCell::Kind::Number) {
          w = static_cast<int>(NumberCsvText(cell.number, cell.decimals).size());
        } else if (cell.kind == SheetCell::Kind::Date) {
          w = 10;
        }
        widths[c] = std::max(widths[c], w);
      }
    }
    const size_t index = names_.size() + 1;
    names_.push_back(name);
    if (!zip_.Begin("xl/worksheets/sheet" + std::to_string(index) + ".xml", reason)) return false;
    std::string x = kXmlHead;
    x += "<worksheet xmlns=\"";
    x += kMainNs;
    x += "\" xmlns:r=\"";
    x += kRelNs;
    x += "\"><dimension ref=\"";
    if (firstRow == SIZE_MAX) {
      x += "A1";
    } else {
      AppendCellRef(x, firstRow, firstCol);
      if (lastRow != firstRow || lastCol != firstCol) {
        x += ':';
        AppendCellRef(x, lastRow, lastCol);
      }
    }
    x += "\"/><sheetViews><sheetView ";
    if (index == 1) x += "tabSelected=\"1\" ";
    x += "workbookViewId=\"0\"";
    if (sheet.headerRow >= 0 && static_cast<size_t>(sheet.headerRow) < sheet.rows.size()) {
      const std::string split = std::to_string(sheet.headerRow + 1);
      x += "><pane ySplit=\"" + split + "\" topLeftCell=\"A" + std::to_string(sheet.headerRow + 2) +
           "\" activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\"/>"
           "</sheetView>";
    } else {
      x += "/>";
    }
    x += "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    const size_t columns = std::max(widths.size(), sheet.columnWidths.size());
    if (columns > 0) {
      x += "<cols>";
      for (size_t c = 0; c < columns; ++c) {
        const double width = c < sheet.columnWidths.size() ? sheet.columnWidths[c]
                                                           : std::clamp(widths[c] + 2, 8, 60);
        const std::string n = std::to_string(c + 1);
        x += "<col min=\"" + n + "\" max=\"" + n + "\" width=\"" +
             ShortestDouble(StoredColumnWidth(width)) + "\" customWidth=\"1\"/>";
      }
      x += "</cols>";
    }
    x += "<sheetData>";
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
      const auto& row = sheet.rows[r];
      const bool bold = static_cast<int>(r) == sheet.headerRow;
      bool opened = false;
      for (size_t c = 0; c < row.size(); ++c) {
        const SheetCell& cell = row[c];
        if (!Written(cell, bold)) continue;
        if (!opened) {
          x += "<row r=\"" + std::to_string(r + 1) + "\">";
          opened = true;
        }
        AppendCell(x, cell, bold, r, c);
      }
      if (opened) x += "</row>";
      if (!Flush(x, reason)) return false;
    }
    x += "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
         "header=\"0.3\" footer=\"0.3\"/></worksheet>";
    return zip_.Write(x, reason) && zip_.End(reason);
  }

  // Passes the text of the part begun last on to the compressor once it is
  // large, so that no part is held whole.
  bool Flush(std::string& x, std::string& reason) {
    if (x.size() < kFlushBytes) return true;
    const bool ok = zip_.Write(x, reason);
    x.clear();
    return ok;
  }

  // The parts that list the sheets, strings and styles; then the pieces are
  // the whole file.
  bool Finish(std::string& reason) {
    const size_t n = names_.size();
    if (!zip_.Begin("[Content_Types].xml", reason)) return false;
    std::string x = kXmlHead;
    x += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/docProps/app.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
         "<Override PartName=\"/docProps/core.xml\" "
         "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
         "<Override PartName=\"/xl/styles.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    for (size_t i = 1; i <= n; ++i) {
      x += "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(i) +
           ".xml\" ContentType=\"application/"
           "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
      if (!Flush(x, reason)) return false;
    }
    x += "<Override PartName=\"/xl/sharedStrings.xml\" "
         "ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/></Types>";
    if (!zip_.Write(x, reason) || !zip_.End(reason)) return false;

    x = kXmlHead;
    x += std::string("<Relationships xmlns=\"") + kPackageRelNs +
         "\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "officeDocument\" Target=\"xl/workbook.xml\"/><Relationship Id=\"rId2\" "
         "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
         "core-properties\" Target=\"docProps/core.xml\"/><Relationship Id=\"rId3\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "extended-properties\" Target=\"docProps/app.xml\"/></Relationships>";
    if (!zip_.Add("_rels/.rels", x, reason)) return false;

    // No dates in the properties: the same tables give the same file.
    x = kXmlHead;
    x += "<Properties "
         "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
         "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
         "<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity>"
         "<ScaleCrop>false</ScaleCrop><LinksUpToDate>false</LinksUpToDate>"
         "<SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged>"
         "<AppVersion>12.0000</AppVersion></Properties>";
    if (!zip_.Add("docProps/app.xml", x, reason)) return false;
    x = kXmlHead;
    x += "<cp:coreProperties "
         "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
         "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
         "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
         "<dc:creator></dc:creator><cp:lastModifiedBy></cp:lastModifiedBy>"
         "</cp:coreProperties>";
    if (!zip_.Add("docProps/core.xml", x, reason)) return false;

    if (!zip_.Begin("xl/workbook.xml", reason)) return false;
    x = kXmlHead;
    x += std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
         "\"><workbookPr/><bookViews><workbookView xWindow=\"240\" yWindow=\"15\" "
         "windowWidth=\"16095\" windowHeight=\"9660\"/></bookViews><sheets>";
    for (size_t i = 1; i <= n; ++i) {
      const std::string id = std::to_string(i);
      x += "<sheet name=\"" + Xml(names_[i - 1]) + "\" sheetId=\"" + id + "\" r:id=\"rId" + id +
           "\"/>";
      if (!Flush(x, reason)) return false;
    }
    x += "</sheets><calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>";
    if (!zip_.Write(x, reason) || !zip_.End(reason)) return false;

    if (!zip_.Begin("xl/_rels/workbook.xml.rels", reason)) return false;
    x = kXmlHead;
    x += std::string("<Relationships xmlns=\"") + kPackageRelNs + "\">";
    for (size_t i = 1; i <= n; ++i) {
      x += "<Relationship Id=\"rId" + std::to_string(i) +
           "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
           "worksheet\" Target=\"worksheets/sheet" +
           std::to_string(i) + ".xml\"/>";
      if (!Flush(x, reason)) return false;
    }
    x += "<Relationship Id=\"rId" + std::to_string(n + 1) +
         "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
         "Target=\"styles.xml\"/><Relationship Id=\"rId" +
         std::to_string(n + 2) +
         "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
    if (!zip_.Write(x, reason) || !zip_.End(reason)) return false;
    if (!zip_.Add("xl/styles.xml", StylesXml(), reason)) return false;

    if (!zip_.Begin("xl/sharedStrings.xml", reason)) return false;
    x = kXmlHead;
    x += std::string("<sst xmlns=\"") + kMainNs + "\" count=\"" + std::to_string(stringUses_) +
         "\" uniqueCount=\"" + std::to_string(stringOrder_.size()) + "\">";
    for (const std::string* s : stringOrder_) {
      const bool keepBlanks =
          !s->empty() && (std::isspace(static_cast<unsigned char>(s->front())) ||
                          std::isspace(static_cast<unsigned char>(s->back())));
      x += keepBlanks ? "<si><t xml:space=\"preserve\">" : "<si><t>";
      AppendXml(x, *s, false);
      x += "</t></si>";
      if (!Flush(x, reason)) return false;
    }
    x += "</sst>";
    return zip_.Write(x, reason) && zip_.End(reason) && zip_.Finish(reason);
  }

  const std::vector<std::string>& Pieces() { return zip_.Pieces(); }

  static constexpr size_t kFlushBytes = 1 << 16;
  static constexpr int kMaxTextUnits = 32767;  // a cell's limit, in UTF-16 units

  static int Utf16Length(const std::string& s) {
    int units = 0;
    for (size_t i = 0; i < s.size();) {
      const Utf8Char ch = NextChar(s, i);
      i += ch.length;
      units += Utf16Units(ch.code);
    }
    return units;
  }

  // Whether a cell appears in the sheet: a blank (or an empty text) only as
  // part of a header.
  static bool Written(const SheetCell& cell, bool bold) {
    switch (cell.kind) {
      case SheetCell::Kind::Empty:
        return bold;
      case SheetCell::Kind::Text:
        return bold || !cell.text.empty();
      case SheetCell::Kind::Number:
        return std::isfinite(cell.number);
      default:
        return true;
    }
  }

  void AppendCell(std::string& x, const SheetCell& cell, bool bold, size_t r, size_t c) {
    x += "<c r=\"";
    AppendCellRef(x, r, c);
    x += '"';
    auto style = [&](StyleKey key) {
      const int s = Style(key);
      if (s > 0) x += " s=\"" + std::to_string(s) + "\"";
    };
    auto text = [&](const std::string& t) {
      style({bold, 0, -1});
      x += " t=\"s\"><v>" + std::to_string(StringIndex(t)) + "</v></c>";
    };
    switch (cell.kind) {
      case SheetCell::Kind::Empty:
        style({bold, 0, -1});
        x += "/>";
        return;
      case SheetCell::Kind::Text:
        if (cell.text.empty()) {
          style({bold, 0, -1});
          x += "/>";
          return;
        }
        text(cell.text);
        return;
      case SheetCell::Kind::Number:
        style({bold, 1, std::clamp(cell.decimals, -1, 15)});
        x += "><v>" + ShortestDouble(cell.number) + "</v></c>";
        return;
      case SheetCell::Kind::Date:
        // A day that does not exist has no day number: its text then.
        if (!IsRealDate(cell)) {
          text(DateCellText(cell));
          return;
        }
        style({bold, 2, -1});
        x += "><v>" + std::to_string(SerialDay(cell)) + "</v></c>";
        return;
    }
  }

  // The index of a style in the workbook's list (0: the plain one).
  int Style(StyleKey key) {
    if (!key.bold && key.kind == 0) return 0;
    if (!key.bold && key.kind == 1 && key.decimals < 0) return 0;
    auto it = styles_.find(key);
    if (it != styles_.end()) return it->second;
    styleOrder_.push_back(key);
    const int index = static_cast<int>(styleOrder_.size());
    styles_.emplace(key, index);
    return index;
  }

  static std::string NumberFormat(const StyleKey& key) {
    if (key.kind == 2) return "yyyy/mm/dd";
    if (key.kind == 1 && key.decimals >= 0) {
      return key.decimals == 0 ? "0" : "0." + std::string(static_cast<size_t>(key.decimals), '0');
    }
    return std::string();
  }

  std::string StylesXml() const {
    std::vector<std::string> formats;  // custom formats, numbered from 164
    std::vector<int> formatIds;
    for (const StyleKey& key : styleOrder_) {
      const std::string f = NumberFormat(key);
      if (f.empty()) {
        formatIds.push_back(0);
        continue;
      }
      auto at = std::find(formats.begin(), formats.end(), f);
      if (at == formats.end()) at = formats.insert(formats.end(), f);
      formatIds.push_back(164 + static_cast<int>(at - formats.begin()));
    }
    std::string x = kXmlHead;
    x += std::string("<styleSheet xmlns=\"") + kMainNs + "\">";
    if (!formats.empty()) {
      x += "<numFmts count=\"" + std::to_string(formats.size()) + "\">";
      for (size_t i = 0; i < formats.size(); ++i) {
        x += "<numFmt numFmtId=\"" + std::to_string(164 + i) + "\" formatCode=\"" +
             Xml(formats[i]) + "\"/>";
      }
      x += "</numFmts>";
    }
    x += "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/>"
         "</font><font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
         "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill>"
         "<patternFill patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border>"
         "<left/><right/><top/><bottom/><diagonal/></border></borders><cellStyleXfs "
         "count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>";
    x += "<cellXfs count=\"" + std::to_string(styleOrder_.size() + 1) +
         "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    for (size_t i = 0; i < styleOrder_.size(); ++i) {
      const StyleKey& key = styleOrder_[i];
      x += "<xf numFmtId=\"" + std::to_string(formatIds[i]) + "\" fontId=\"" +
           (key.bold ? "1" : "0") + "\" fillId=\"0\" borderId=\"0\" xfId=\"0\"";
      if (formatIds[i] != 0) x += " applyNumberFormat=\"1\"";
      if (key.bold) x += " applyFont=\"1\"";
      x += "/>";
    }
    x += "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
         "builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\" "
         "defaultTableStyle=\"TableStyleMedium9\" defaultPivotStyle=\"PivotStyleLight16\"/>"
         "</styleSheet>";
    return x;
  }

  uint32_t StringIndex(const std::string& text) {
    ++stringUses_;
    auto [it, added] = strings_.try_emplace(text, static_cast<uint32_t>(stringOrder_.size()));
    if (added) stringOrder_.push_back(&it->first);
    return it->second;
  }

  ZipBytes zip_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, uint32_t> strings_;
  std::vector<const std::string*> stringOrder_;  // keys of strings_, by index
  uint64_t stringUses_ = 0;
  std::map<StyleKey, int> styles_;
  std::vector<StyleKey> styleOrder_;  // style i + 1
};

XlsxWriter::XlsxWriter() : impl_(std::make_unique<Impl>()) {}
XlsxWriter::~XlsxWriter() = default;
bool XlsxWriter::Ok(std::string& reason) const { return impl_->Ok(reason); }
bool XlsxWriter::AddSheet(const Sheet& sheet, const std::string& name, std::string& reason) {
  return impl_->AddSheet(sheet, name, reason);
}
bool XlsxWriter::Finish(std::string& reason) { return impl_->Finish(reason); }
const std::vector<std::string>& XlsxWriter::Pieces() { return impl_->Pieces(); }

}  // namespace kelvora::sheet_parts
