// Numbers in files and on screens must not follow the user's locale: under a
// decimal-comma locale the files must come out byte for byte as under "C".
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale>
#include <string>

#include "store/data_files.h"
#include "store/hensuu.h"
#include "store/number_text.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// Switches the C and the C++ locale for the lifetime of the object.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
    if (ok_) {
      try {
        oldCpp_ = std::locale::global(std::locale(name));
      } catch (const std::runtime_error&) {
        ok_ = false;
      }
    }
  }
  ~ScopedLocale() {
    std::setlocale(LC_ALL, old_.c_str());
    std::locale::global(oldCpp_);
  }
  bool ok() const { return ok_; }

 private:
  std::string old_;
  std::locale oldCpp_;
  bool ok_ = false;
};

constexpr const char* kCommaLocale = "de_DE.UTF-8";

// The texts the program wrote before numbers were made locale-free, formed
// with printf under the C locale: the reference for the formatters below.
std::string OldSingleText(float value) {
  if (!std::isfinite(value)) return std::string();
  if (value == 0.0f) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(value));
  std::string s(buf);
  size_t ePos = s.find('E');
  std::string mantissa = s.substr(0, ePos);
  std::string exponent = ePos == std::string::npos ? std::string() : s.substr(ePos);
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + exponent;
}

std::string OldFormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return std::string();
  double a = std::fabs(value);
  if (a != 0.0) {
    int exp = 0;
    double m = std::frexp(a, &exp);
    long long mant = static_cast<long long>(std::ldexp(m, 53));
    int e = exp - 53;
    while ((mant & 1) == 0) {
      mant >>= 1;
      ++e;
    }
    if (e == -(decimals + 1)) a = std::nextafter(a, INFINITY);
  }
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, a);
  std::string s(buf);
  bool allZero = s.find_first_of("123456789") == std::string::npos;
  if (value < 0 && !allZero) s.insert(s.begin(), '-');
  return s;
}

float FloatFromBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

TEST(LocaleFreeNumbers, SingleTextMatchesTheEarlierTextsForASweepOfSingles) {
  ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  int checked = 0;
  // Every 1021st bit pattern over the whole range (both signs, subnormals,
  // every exponent), then dense runs around values users type.
  for (uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 1021) {
    float f = FloatFromBits(static_cast<uint32_t>(bits));
    ASSERT_EQ(SingleText(f), OldSingleText(f)) << "bits " << bits;
    ++checked;
  }
  for (float start : {0.1f, 1.0f, 9.999999f, 25.0f, 99999.99f, 1e7f, 0.0001f, 15000.0f}) {
    float f = start;
    for (int i = 0; i < 20000; ++i, f = std::nextafter(f, INFINITY)) {
      ASSERT_EQ(SingleText(f), OldSingleText(f)) << f;
      ASSERT_EQ(SingleText(-f), OldSingleText(-f)) << -f;
      checked += 2;
    }
  }
  EXPECT_GT(checked, 4000000);
}

TEST(LocaleFreeNumbers, FormatFixedMatchesTheEarlierTextsForASweepOfDoubles) {
  ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 400000; ++i) {
    // Random magnitudes from 1e-7 to 1e9, both signs.
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    double unit = static_cast<double>(x >> 11) / 9007199254740992.0;
    double v = std::pow(10.0, -7.0 + 16.0 * unit) * ((x & 1) ? -1.0 : 1.0);
    for (int decimals : {0, 2, 4, 5}) {
      ASSERT_EQ(FormatFixed(v, decimals), OldFormatFixed(v, decimals)) << v << " " << decimals;
    }
  }
  // Exact ties at every pattern's last place and values just around them.
  for (int n = -100000; n <= 100000; ++n) {
    for (int decimals : {0, 2, 4, 5}) {
      double tie = (n + 0.5) / std::pow(10.0, decimals);
      for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300)}) {
        ASSERT_EQ(FormatFixed(v, decimals), OldFormatFixed(v, decimals)) << v << " " << decimals;
      }
    }
  }
  for (double v : {0.0, -0.0, 1e300, -1e300, 5e-324, 0.125, 2.5, 1.7976931348623157e308}) {
    for (int decimals : {0, 2, 4, 5}) {
      EXPECT_EQ(FormatFixed(v, decimals), OldFormatFixed(v, decimals)) << v;
    }
  }
}

// Records of every kind with numbers of many magnitudes and signs.
void FillStore(hensuu& st) {
  st.BaiyoTable.Append(
      {"灰色低地土, 水田①", "培養日数\t20\t25\t30\r7\t1.5\t2.25\t0.0001\r14\t\t-3\t1E+07", false});
  ParaRecord p{
      "被覆尿素～", 6,         {20169.56f, 0.04323768f, 96.861f, 19.22612f, 19588.2f, 0.5f, 0.0f},
      123.6493f,    44.18172f, false,
      25.0f};
  st.ParaTable.Append(p);
  p.ModelNo = 2;
  p.Param = {1.5f, -0.1f, 1e-5f, 1234567.0f, 0.001953125f, 1e30f, -273.15f};
  p.Aic = -1.174299f;
  p.Rss = 0.6823159f;
  p.IsManual = true;
  p.StdTemp = 22.5f;
  st.ParaTable.Append(p);
  st.TionTable.Append({"つくば", "年/月/日\t地温(℃)\r2024/04/01\t12.5\r2024/04/02\t-0.5"});
  st.SuiteiTable.Append({1, "黒ボク土", "つくば", "年/月/日\t(mg/100g)\r2024/04/01\t0.13", 25.5f});
  st.HojyoTable.Append({"ほ場", "年/月/日\t地温(℃)\t無機化量\r2024/04/01\t18.25\t0.5", true});
}

TEST(LocaleFreeNumbers, FilesAreByteIdenticalUnderADecimalCommaLocale) {
  TempDir dir;
  const auto c = dir.path() / "c";
  const auto comma = dir.path() / "comma";
  std::filesystem::create_directories(c);
  std::filesystem::create_directories(comma);
  hensuu st;
  FillStore(st);
  ASSERT_TRUE(SaveDataFiles(st, c).empty());

  ScopedLocale locale(kCommaLocale);
  ASSERT_TRUE(locale.ok()) << kCommaLocale << " is not installed (scripts/install-packages.sh)";
  // The locale really writes a decimal comma, so the comparison below means
  // something.
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  ASSERT_STREQ(probe, "1,5");

  ASSERT_TRUE(SaveDataFiles(st, comma).empty());
  for (const char* f : {kBaiyoFile, kParaFile, kTionFile, kSuiteiFile, kHojyoFile}) {
    EXPECT_EQ(ReadBytes(comma / f), ReadBytes(c / f)) << f;
  }
  EXPECT_NE(ReadBytes(comma / kParaFile).find(",0.04323768,96.861,"), std::string::npos);

  // What was written reads back to the same records under that locale.
  hensuu back;
  ASSERT_TRUE(ReadDataFiles(back, comma).empty());
  EXPECT_EQ(back.ParaTable.Rows(), st.ParaTable.Rows());
  EXPECT_EQ(back.SuiteiTable.Rows(), st.SuiteiTable.Rows());
  EXPECT_EQ(back.BaiyoTable.Rows(), st.BaiyoTable.Rows());
}

TEST(LocaleFreeNumbers, SampleDataRewriteIdenticallyUnderADecimalCommaLocale) {
  TempDir dir;
  const std::filesystem::path examples =
      std::filesystem::path(KELVORA_SOURCE_DIR) / "examples/Data";
  hensuu c;
  ASSERT_TRUE(ReadDataFiles(c, examples).empty());
  std::filesystem::create_directories(dir.path() / "c");
  ASSERT_TRUE(SaveDataFiles(c, dir.path() / "c").empty());

  ScopedLocale locale(kCommaLocale);
  ASSERT_TRUE(locale.ok()) << kCommaLocale << " is not installed (scripts/install-packages.sh)";
  hensuu comma;
  ASSERT_TRUE(ReadDataFiles(comma, examples).empty());
  EXPECT_EQ(comma.ParaTable.Rows(), c.ParaTable.Rows());
  std::filesystem::create_directories(dir.path() / "comma");
  ASSERT_TRUE(SaveDataFiles(comma, dir.path() / "comma").empty());
  for (const char* f : {kBaiyoFile, kParaFile, kTionFile, kSuiteiFile, kHojyoFile}) {
    EXPECT_EQ(ReadBytes(dir.path() / "comma" / f), ReadBytes(dir.path() / "c" / f)) << f;
  }
}

TEST(LocaleFreeNumbers, TypedNumbersAndDisplayedTextsIgnoreTheLocale) {
  ScopedLocale locale(kCommaLocale);
  ASSERT_TRUE(locale.ok()) << kCommaLocale << " is not installed (scripts/install-packages.sh)";
  EXPECT_EQ(*ParseSingle("0.1"), 0.1f);
  EXPECT_EQ(*ParseDouble("2.5E-3"), 2.5e-3);
  EXPECT_FALSE(IsNumber("1,5"));  // a comma never makes a number
  EXPECT_EQ(SingleText(0.1f), "0.1");
  EXPECT_EQ(SingleText(12345678.0f), "1.234568E+07");
  EXPECT_EQ(FormatFixed(0.125, 2), "0.13");
  EXPECT_EQ(FormatFixed(15360.2998046875, 5), "15360.29980");
  EXPECT_EQ(ShortestSingle(0.1f), "0.1");
  EXPECT_EQ(ShortestDouble(0.25), "0.25");
}

}  // namespace
}  // namespace kelvora
