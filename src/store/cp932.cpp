#include "store/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <vector>

namespace kelvora {
namespace {

// An iconv descriptor per thread and direction, opened once: opening one
// costs more than converting a record's text. Its shift state is reset
// before every use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Reset() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return cd_;
  }

 private:
  iconv_t cd_;
};

Converter& ToCp932() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

Converter& FromCp932() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}

// Runs iconv over the whole input, appending to `out`; on failure reports
// the offset of the offending input byte.
bool Convert(Converter& converter, std::string_view in, std::string& out, size_t* badOffset) {
  if (!converter.Ok()) return false;
  iconv_t cd = converter.Reset();
  std::vector<char> buf(in.size() * 3 + 16);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buf.data(), outPtr - buf.data());
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      ok = false;
      break;
    }
    if (r > 0) {  // irreversible conversions are not allowed
      ok = false;
      break;
    }
  }
  if (ok) {
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buf.data(), outPtr - buf.data());
  }
  if (!ok && badOffset) *badOffset = in.size() - inLeft;
  return ok;
}

// Converts a run of whole non-ASCII characters, appending it. The same short
// runs come back record after record (the grids' header labels, the start of
// names): those are remembered per thread.
bool DecodeRun(std::string_view run, std::string& out) {
  constexpr size_t kLongest = 32, kKept = 4096;
  thread_local std::unordered_map<std::string, std::string> known;
  if (run.size() <= kLongest) {
    const auto it = known.find(std::string(run));
    if (it != known.end()) {
      out += it->second;
      return true;
    }
  }
  const size_t at = out.size();
  if (!Convert(FromCp932(), run, out, nullptr)) return false;
  if (run.size() <= kLongest) {
    if (known.size() >= kKept) known.clear();
    known.emplace(std::string(run), out.substr(at));
  }
  return true;
}

// A lead byte of a two-byte CP932 character.
bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

}  // namespace

std::optional<std::string> EncodeCp932(std::string_view utf8, std::string* badChar) {
  size_t bad = 0;
  std::string out;
  if (!Convert(ToCp932(), utf8, out, &bad)) {
    if (badChar) {
      size_t n = bad < utf8.size() ? Utf8Length(static_cast<unsigned char>(utf8[bad])) : 0;
      *badChar = std::string(utf8.substr(bad, n));
    }
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> DecodeCp932(std::string_view bytes) {
  // The code page's first 128 bytes are ASCII, and no character has a
  // stateful encoding: runs of ASCII (most of a record: digits, TABs, CRs)
  // are copied as they are, the rest converted run by run. A run ends only
  // where an ASCII byte follows a whole character (the second byte of a
  // two-byte character may lie in the ASCII range).
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    size_t j = i;
    while (j < n && static_cast<unsigned char>(bytes[j]) < 0x80) ++j;
    out.append(bytes, i, j - i);
    if (j == n) break;
    size_t k = j;
    while (k < n && static_cast<unsigned char>(bytes[k]) >= 0x80) {
      k += IsCp932Lead(static_cast<unsigned char>(bytes[k])) && k + 1 < n ? 2 : 1;
    }
    if (!DecodeRun(bytes.substr(j, k - j), out)) return std::nullopt;
    i = k;
  }
  return out;
}

namespace {

bool ReadsBack(std::string_view utf8) {
  std::optional<std::string> bytes = EncodeCp932(utf8);
  if (!bytes) return false;
  std::optional<std::string> back = DecodeCp932(*bytes);
  return back && *back == utf8;
}

bool IsAscii(std::string_view utf8) {
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

struct StoredForm {
  const char* typed;
  const char* stored;
};
constexpr StoredForm kStoredForms[] = {
    {"\u301C", "\uFF5E"},  // 〜 WAVE DASH → ～
    {"\u2212", "\uFF0D"},  // − MINUS SIGN → －
    {"\u2016", "\u2225"},  // ‖ DOUBLE VERTICAL LINE → ∥
    {"\u2014", "\u2015"},  // — EM DASH → ―
    {"\u00A2", "\uFFE0"},  // ¢ → ￠
    {"\u00A3", "\uFFE1"},  // £ → ￡
    {"\u00AC", "\uFFE2"},  // ¬ → ￢
    {"\u00A5", "\uFFE5"},  // ¥ → ￥
    {"\u203E", "\uFFE3"},  // ‾ OVERLINE → ￣
};

}  // namespace

bool CanStoreText(std::string_view utf8, std::string* badChar) {
  // ASCII, backslash and tilde included, always reads back.
  if (IsAscii(utf8) || ReadsBack(utf8)) return true;
  if (badChar) {
    badChar->clear();
    for (size_t i = 0; i < utf8.size();) {
      size_t n = std::min(Utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
      std::string_view ch = utf8.substr(i, n);
      if (!ReadsBack(ch)) {
        *badChar = std::string(ch);
        break;
      }
      i += n;
    }
  }
  return false;
}

std::string ToStoredForms(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    bool replaced = false;
    if (static_cast<unsigned char>(utf8[i]) >= 0x80) {
      for (const StoredForm& f : kStoredForms) {
        std::string_view typed(f.typed);
        if (utf8.substr(i, typed.size()) == typed) {
          out += f.stored;
          i += typed.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out.push_back(utf8[i++]);
  }
  return out;
}

std::string UnstorableTextMessage(std::string_view utf8, std::string_view badChar) {
  std::string m = "「";
  m += utf8;
  m += "」には、データファイルに保存できない文字";
  if (!badChar.empty()) {
    m += "「";
    m += badChar;
    m += "」";
  }
  m += "が含まれています。\nこの文字を別の文字に置き換えて下さい。";
  return m;
}

std::string ReplaceQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '"') {
      out += "\xEF\xBC\x82";  // ＂
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace kelvora
