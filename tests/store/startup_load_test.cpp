// The start-up load as it is made fast: the five files read side by side give
// the tables and the messages of one file after another; a .bak copy that
// already holds its file is left as it is and any other is renewed; text is
// decoded as one conversion of the whole field would decode it.
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "store/cp932.h"
#include "store/data_files.h"
#include "store/hensuu.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

hensuu Filled(int records) {
  hensuu st;
  for (int i = 1; i <= records; ++i) {
    const std::string n = "表示ソ試料" + std::to_string(i);
    st.BaiyoTable.Append({n, "培養日数\t20\t25\t30\r7\t1.5\t\t3", i % 2 == 0});
    ParaRecord p;
    p.SoilName = n;
    p.ModelNo = static_cast<int16_t>(1 + i % 6);
    p.Param = {17000, 0.01f * i, 12, 0.5f, 0, 0, 0};
    st.ParaTable.Append(p);
    st.TionTable.Append({"地点" + std::to_string(i), "年/月/日\t地温(℃)\r2026/07/01\t2" + n});
    st.SuiteiTable.Append({1, n, "地点", "年/月/日\t(mg/100g)\r2026/07/01\t1.25", 25});
    st.HojyoTable.Append({n, "年/月/日\t地温(℃)\t無機化量\r2026/07/01\t20\t", false});
  }
  return st;
}

TEST(StartupLoad, FilesReadSideBySideGiveTheTablesAndMessagesOfOneAfterAnother) {
  TempDir dir;
  const hensuu saved = Filled(300);
  ASSERT_TRUE(SaveDataFiles(saved, dir.path()).empty());
  // Two damaged files: their messages come in file order, whichever thread
  // read them.
  for (const char* damaged : {"ParaData.txt", "Suitei.txt"}) {
    std::string bytes = ReadBytes(dir.path() / damaged);
    bytes += "\"切れた行";
    WriteBytes(dir.path() / damaged, bytes);
  }
  hensuu sequential;
  ReadDataFiles(sequential, dir.path());
  for (int start = 0; start < 3; ++start) {
    SCOPED_TRACE(start);
    hensuu loaded;
    const FileMessages m = LoadDataFiles(loaded, dir.path(), "20260701-120000");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_NE(m[0].find("ParaData.txt"), std::string::npos) << m[0];
    EXPECT_NE(m[1].find("Suitei.txt"), std::string::npos) << m[1];
    EXPECT_TRUE(loaded.BaiyoTable.Rows() == saved.BaiyoTable.Rows());
    EXPECT_TRUE(loaded.TionTable.Rows() == saved.TionTable.Rows());
    EXPECT_TRUE(loaded.HojyoTable.Rows() == saved.HojyoTable.Rows());
    // The damaged files up to their damage, as a reader of one file after
    // another reads them.
    EXPECT_EQ(loaded.ParaCount(), 300);
    EXPECT_TRUE(loaded.ParaTable.Rows() == sequential.ParaTable.Rows());
    EXPECT_TRUE(loaded.SuiteiTable.Rows() == saved.SuiteiTable.Rows());
    EXPECT_EQ(loaded.BaiyoCurrent, 300);
    EXPECT_EQ(loaded.HojyoCurrent, 300);
    EXPECT_TRUE(loaded.FilesNotToSave.empty());
  }
}

struct stat Stat(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st;
}

TEST(StartupLoad, BakCopyThatHoldsItsFileIsLeftAndAnyOtherRenewed) {
  TempDir dir;
  ASSERT_TRUE(SaveDataFiles(Filled(20), dir.path()).empty());
  hensuu st;
  ASSERT_TRUE(LoadDataFiles(st, dir.path()).empty());
  const fs::path txt = dir.path() / "TionData.txt", bak = dir.path() / "TionData.bak";
  const std::string bytes = ReadBytes(txt);
  ASSERT_EQ(ReadBytes(bak), bytes);

  // Started again: the copy is the same file, not written anew.
  const ino_t inode = Stat(bak).st_ino;
  ASSERT_TRUE(LoadDataFiles(st, dir.path()).empty());
  EXPECT_EQ(Stat(bak).st_ino, inode);

  // A copy of the same size with one byte changed, another mode, or another
  // length is renewed.
  std::string changed = bytes;
  changed[changed.size() / 2] ^= 1;
  WriteBytes(bak, changed);
  ASSERT_TRUE(LoadDataFiles(st, dir.path()).empty());
  EXPECT_EQ(ReadBytes(bak), bytes);
  ASSERT_EQ(::chmod(bak.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(txt.c_str(), 0640), 0);
  ASSERT_TRUE(LoadDataFiles(st, dir.path()).empty());
  EXPECT_EQ(Stat(bak).st_mode & 07777, 0640u);
  WriteBytes(bak, bytes + bytes);
  ASSERT_TRUE(LoadDataFiles(st, dir.path()).empty());
  EXPECT_EQ(ReadBytes(bak), bytes);
}

// One iconv conversion of the whole text: what the decoder must agree with.
std::optional<std::string> WholeConversion(const std::string& in) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string out(in.size() * 3 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (r != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

TEST(StartupLoad, TextDecodesAsOneConversionOfTheWholeFieldWould) {
  // Pieces: ASCII (backslash and tilde included), two-byte characters whose
  // second byte lies in the ASCII range (ソ 83 5C, 表 95 5C, ～ 81 60),
  // half-width katakana, bytes that are no character, a lone lead byte.
  const std::vector<std::string> pieces = {
      "a",        "\\",       "~",        "\t",       "\r",   "12.5",     "\x83\x5C", "\x95\x5C",
      "\x81\x60", "\x88\x9F", "\xB1",     "\xDF",     "\x80", "\xA0",     "\xFD",     "\x81",
      "\x81\x7F", "\xE0\x40", "\xFC\x4B", "\x87\x40", " ",    "\x8E\x8E", "\x97\xBF"};
  std::mt19937 random(29);
  int valid = 0, invalid = 0;
  for (int n = 0; n < 4000; ++n) {
    std::string text;
    const int count = 1 + static_cast<int>(random() % 12);
    for (int k = 0; k < count; ++k) text += pieces[random() % pieces.size()];
    const std::optional<std::string> expected = WholeConversion(text);
    ASSERT_EQ(DecodeCp932(text), expected) << n;
    ++(expected ? valid : invalid);
  }
  EXPECT_GT(valid, 400);
  EXPECT_GT(invalid, 400);
}

}  // namespace
}  // namespace kelvora
