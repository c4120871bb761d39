#include "store/record_line.h"

#include <charconv>

#include "store/cp932.h"
#include "store/number_text.h"

namespace kelvora {

// ---- record schemas -------------------------------------------------------

template <>
const std::vector<FieldKind>& RecordFieldKinds<BaiyoRecord>() {
  static const std::vector<FieldKind> k{FieldKind::Text, FieldKind::Text, FieldKind::Bool};
  return k;
}
template <>
const std::vector<std::string>& RecordFieldNames<BaiyoRecord>() {
  static const std::vector<std::string> n{"SoilName", "GridText", "IsFertilizer"};
  return n;
}
template <>
std::vector<FieldValue> ToFields(const BaiyoRecord& r) {
  return {r.SoilName, r.GridText, r.IsFertilizer};
}
template <>
BaiyoRecord FromFields(const std::vector<FieldValue>& f) {
  return {std::get<std::string>(f[0]), std::get<std::string>(f[1]), std::get<bool>(f[2])};
}

template <>
const std::vector<FieldKind>& RecordFieldKinds<ParaRecord>() {
  static const std::vector<FieldKind> k{
      FieldKind::Text,   FieldKind::Int16,  FieldKind::Single, FieldKind::Single, FieldKind::Single,
      FieldKind::Single, FieldKind::Single, FieldKind::Single, FieldKind::Single, FieldKind::Single,
      FieldKind::Single, FieldKind::Bool,   FieldKind::Single};
  return k;
}
template <>
const std::vector<std::string>& RecordFieldNames<ParaRecord>() {
  static const std::vector<std::string> n{"SoilName", "ModelNo",  "Param1", "Param2", "Param3",
                                          "Param4",   "Param5",   "Param6", "Param7", "Aic",
                                          "Rss",      "IsManual", "StdTemp"};
  return n;
}
template <>
std::vector<FieldValue> ToFields(const ParaRecord& r) {
  std::vector<FieldValue> f{r.SoilName, r.ModelNo};
  for (float p : r.Param) f.emplace_back(p);
  f.emplace_back(r.Aic);
  f.emplace_back(r.Rss);
  f.emplace_back(r.IsManual);
  f.emplace_back(r.StdTemp);
  return f;
}
template <>
ParaRecord FromFields(const std::vector<FieldValue>& f) {
  ParaRecord r;
  r.SoilName = std::get<std::string>(f[0]);
  r.ModelNo = std::get<int16_t>(f[1]);
  for (int i = 0; i < 7; ++i) r.Param[i] = std::get<float>(f[2 + i]);
  r.Aic = std::get<float>(f[9]);
  r.Rss = std::get<float>(f[10]);
  r.IsManual = std::get<bool>(f[11]);
  r.StdTemp = std::get<float>(f[12]);
  return r;
}

template <>
const std::vector<FieldKind>& RecordFieldKinds<TionRecord>() {
  static const std::vector<FieldKind> k{FieldKind::Text, FieldKind::Text};
  return k;
}
template <>
const std::vector<std::string>& RecordFieldNames<TionRecord>() {
  static const std::vector<std::string> n{"SiteName", "GridText"};
  return n;
}
template <>
std::vector<FieldValue> ToFields(const TionRecord& r) {
  return {r.SiteName, r.GridText};
}
template <>
TionRecord FromFields(const std::vector<FieldValue>& f) {
  return {std::get<std::string>(f[0]), std::get<std::string>(f[1])};
}

template <>
const std::vector<FieldKind>& RecordFieldKinds<SuiteiRecord>() {
  static const std::vector<FieldKind> k{FieldKind::Int16, FieldKind::Text, FieldKind::Text,
                                        FieldKind::Text, FieldKind::Single};
  return k;
}
template <>
const std::vector<std::string>& RecordFieldNames<SuiteiRecord>() {
  static const std::vector<std::string> n{"ModelNo", "SoilName", "SiteName", "GridText", "StdTemp"};
  return n;
}
template <>
std::vector<FieldValue> ToFields(const SuiteiRecord& r) {
  return {r.ModelNo, r.SoilName, r.SiteName, r.GridText, r.StdTemp};
}
template <>
SuiteiRecord FromFields(const std::vector<FieldValue>& f) {
  return {std::get<int16_t>(f[0]), std::get<std::string>(f[1]), std::get<std::string>(f[2]),
          std::get<std::string>(f[3]), std::get<float>(f[4])};
}

template <>
const std::vector<FieldKind>& RecordFieldKinds<HojyoRecord>() {
  static const std::vector<FieldKind> k{FieldKind::Text, FieldKind::Text, FieldKind::Bool};
  return k;
}
template <>
const std::vector<std::string>& RecordFieldNames<HojyoRecord>() {
  static const std::vector<std::string> n{"SoilName", "GridText", "IsFertilizer"};
  return n;
}
template <>
std::vector<FieldValue> ToFields(const HojyoRecord& r) {
  return {r.SoilName, r.GridText, r.IsFertilizer};
}
template <>
HojyoRecord FromFields(const std::vector<FieldValue>& f) {
  return {std::get<std::string>(f[0]), std::get<std::string>(f[1]), std::get<bool>(f[2])};
}

template <>
const std::vector<FieldKind>& RecordFieldKinds<SekkeiRecord>() {
  static const std::vector<FieldKind> k{FieldKind::Text, FieldKind::Text,  FieldKind::Int16,
                                        FieldKind::Text, FieldKind::Int16, FieldKind::Text,
                                        FieldKind::Text, FieldKind::Text};
  return k;
}
template <>
const std::vector<std::string>& RecordFieldNames<SekkeiRecord>() {
  static const std::vector<std::string> n{"PlanName", "SiteName",  "TionNo",   "NormalName",
                                          "NormalNo", "FirstDate", "LastDate", "GridText"};
  return n;
}
template <>
std::vector<FieldValue> ToFields(const SekkeiRecord& r) {
  return {r.PlanName, r.SiteName,  r.TionNo,   r.NormalName,
          r.NormalNo, r.FirstDate, r.LastDate, r.GridText};
}
template <>
SekkeiRecord FromFields(const std::vector<FieldValue>& f) {
  return {std::get<std::string>(f[0]), std::get<std::string>(f[1]), std::get<int16_t>(f[2]),
          std::get<std::string>(f[3]), std::get<int16_t>(f[4]),     std::get<std::string>(f[5]),
          std::get<std::string>(f[6]), std::get<std::string>(f[7])};
}

// ---- writing -------------------------------------------------------------

std::optional<std::string> WriteRecordLine(const std::vector<FieldValue>& fields,
                                           std::string* problem) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line.push_back(',');
    const FieldValue& f = fields[i];
    if (const auto* s = std::get_if<std::string>(&f)) {
      std::string bad;
      std::optional<std::string> bytes = EncodeCp932(ReplaceQuotes(*s), &bad);
      if (!bytes) {
        if (problem) *problem = UnstorableTextMessage(*s, bad);
        return std::nullopt;
      }
      line.push_back('"');
      line += *bytes;
      line.push_back('"');
    } else if (const auto* n = std::get_if<int16_t>(&f)) {
      line += std::to_string(*n);
    } else if (const auto* v = std::get_if<float>(&f)) {
      line += SingleText(*v);
    } else {
      line += std::get<bool>(f) ? "#TRUE#" : "#FALSE#";
    }
  }
  line += "\r\n";
  return line;
}

// ---- reading -------------------------------------------------------------

namespace {

class LineReader {
 public:
  explicit LineReader(std::string_view b) : b_(b) {}

  bool AtEnd() const { return p_ >= b_.size(); }
  // True when the data end here (or in a lone CR): the record was cut off.
  bool AtRecordCut() const { return p_ >= b_.size() || (b_[p_] == '\r' && p_ + 1 >= b_.size()); }

  // Skips lines holding nothing but blanks; true when data follow.
  bool SkipBlankLines() {
    for (;;) {
      size_t q = p_;
      while (q < b_.size() && (b_[q] == ' ' || b_[q] == '\t')) ++q;
      if (q >= b_.size()) {
        p_ = q;
        return false;
      }
      if (b_[q] == '\r' || b_[q] == '\n') {
        p_ = q;
        ConsumeLineEnd();
        ++line_;
        continue;
      }
      return true;
    }
  }

  int Line() const { return line_; }

  // Reads one field's raw text; `quoted` tells whether it was in quotes.
  // The text is a view of the bytes being read.
  bool ReadField(std::string_view& out, bool& quoted, std::string& reason) {
    while (p_ < b_.size() && b_[p_] == ' ') ++p_;
    out = std::string_view();
    quoted = false;
    if (p_ < b_.size() && b_[p_] == '"') {
      size_t end = b_.find('"', p_ + 1);
      if (end == std::string_view::npos) {
        reason = "引用符（\"）が閉じられていません";
        return false;
      }
      out = b_.substr(p_ + 1, end - p_ - 1);
      p_ = end + 1;
      quoted = true;
      while (p_ < b_.size() && b_[p_] == ' ') ++p_;
      return true;
    }
    size_t start = p_;
    while (p_ < b_.size() && b_[p_] != ',' && b_[p_] != '\r' && b_[p_] != '\n') ++p_;
    size_t end = p_;
    while (end > start && (b_[end - 1] == ' ' || b_[end - 1] == '\t')) --end;
    out = b_.substr(start, end - start);
    return true;
  }

  bool ConsumeComma() {
    if (p_ < b_.size() && b_[p_] == ',') {
      ++p_;
      return true;
    }
    return false;
  }

  // The end of a record: CR LF (or a lone CR or LF between records). Every
  // writer of these files ended each record with CR LF, so a record that runs
  // into the end of the data (or ends there in a lone CR) was cut off: its
  // last field may be a shortened number that would read as another value.
  bool ConsumeRecordEnd() {
    if (p_ >= b_.size()) return false;
    if (b_[p_] == '\r' && p_ + 1 >= b_.size()) return false;
    if (b_[p_] == '\r' || b_[p_] == '\n') {
      ConsumeLineEnd();
      ++line_;
      return true;
    }
    return false;
  }

 private:
  void ConsumeLineEnd() {
    if (b_[p_] == '\r') {
      ++p_;
      if (p_ < b_.size() && b_[p_] == '\n') ++p_;
    } else {
      ++p_;
    }
  }

  std::string_view b_;
  size_t p_ = 0;
  int line_ = 1;
};

bool ConvertField(std::string_view raw, bool quoted, FieldKind kind, FieldValue& out,
                  std::string& reason) {
  switch (kind) {
    case FieldKind::Text: {
      std::optional<std::string> text = DecodeCp932(raw);
      if (!text) {
        reason = "文字コード（シフトJIS）として読めない文字があります";
        return false;
      }
      out = std::move(*text);
      return true;
    }
    case FieldKind::Int16: {
      std::string_view v(raw);
      if (!v.empty() && v.front() == '+') v.remove_prefix(1);
      int value = 0;
      auto r = std::from_chars(v.data(), v.data() + v.size(), value);
      if (quoted || v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() ||
          value < -32768 || value > 32767) {
        reason = "整数の欄に整数以外の値があります";
        return false;
      }
      out = static_cast<int16_t>(value);
      return true;
    }
    case FieldKind::Single: {
      std::optional<float> v = quoted ? std::nullopt : ParseSingle(raw);
      if (!v) {
        reason = "数値の欄に数値以外の値があります";
        return false;
      }
      out = *v;
      return true;
    }
    case FieldKind::Bool:
      if (!quoted && raw == "#TRUE#") {
        out = true;
        return true;
      }
      if (!quoted && raw == "#FALSE#") {
        out = false;
        return true;
      }
      reason = "#TRUE# か #FALSE# の欄に別の値があります";
      return false;
  }
  return false;
}

}  // namespace

ReadResult ReadRecordLines(std::string_view bytes, const std::vector<FieldKind>& kinds) {
  ReadResult result;
  LineReader in(bytes);
  while (in.SkipBlankLines()) {
    int line = in.Line();
    std::vector<FieldValue> fields;
    std::string_view raw;
    std::string reason;
    bool quoted = false;
    for (size_t k = 0; k < kinds.size(); ++k) {
      if (k > 0 && !in.ConsumeComma()) {
        reason = "項目が足りません";
        break;
      }
      if (!in.ReadField(raw, quoted, reason)) break;
      FieldValue v;
      if (!ConvertField(raw, quoted, kinds[k], v, reason)) break;
      fields.push_back(std::move(v));
    }
    if (reason.empty() && !in.ConsumeRecordEnd()) {
      reason = in.AtRecordCut() ? "行末の改行がなく、行が途中で切れています" : "項目が多すぎます";
    }
    if (!reason.empty()) {
      result.ok = false;
      result.badLine = line;
      result.reason = reason;
      return result;
    }
    result.records.push_back(std::move(fields));
  }
  return result;
}

}  // namespace kelvora
