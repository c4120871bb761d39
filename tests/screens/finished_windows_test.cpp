// The finishing of windows and start-up: an SVG picture's text at the sizes
// of the PNG's layout, the preview heading shown whole, the version window's
// name from the version, a data folder that cannot be made, and the data
// folder named when no file manager opens it.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <fstream>

#include "screen_test_env.h"
#include "screens/barjon.h"
#include "screens/chart_picture.h"
#include "screens/data_folder_question.h"
#include "screens/qtext.h"

namespace kelvora {
namespace {

// The font sizes of the SVG's text items, and their texts run together (an
// item holds one run of a script: "黒ボク土" is three items).
std::vector<double> SvgFontSizes(const QByteArray& svg) {
  std::vector<double> sizes;
  const QRegularExpression size(QStringLiteral("<text [^>]*font-size=\"([0-9.]+)\""));
  for (auto it = size.globalMatch(QString::fromUtf8(svg)); it.hasNext();) {
    sizes.push_back(it.next().captured(1).toDouble());
  }
  return sizes;
}
QString SvgText(const QByteArray& svg) {
  QString out;
  const QRegularExpression text(QStringLiteral("<text [^>]*>([^<]*)</text>"));
  for (auto it = text.globalMatch(QString::fromUtf8(svg)); it.hasNext();) {
    out += it.next().captured(1);
  }
  return out;
}

TEST(ChartPictures, AnSvgWritesItsTextAtThePixelSizesItWasLaidOutWith) {
  for (const double points : {8.0, 10.0, 14.0}) {
    SCOPED_TRACE(points);
    QLabel label(QStringLiteral("計算値と95%信頼帯 (mg/100g)"));
    QFont font = label.font();
    font.setPointSizeF(points);
    label.setFont(font);
    label.resize(label.sizeHint());
    const double pixels = points * label.logicalDpiY() / 72.0;
    const QByteArray svg = RenderPicture({&label}, PictureFormat::Svg, QStringLiteral("図"),
                                         {QStringLiteral("黒ボク土"), QStringLiteral("単純型")});
    const std::vector<double> sizes = SvgFontSizes(svg);
    ASSERT_FALSE(sizes.empty());
    for (double s : sizes) EXPECT_NEAR(s, pixels, 0.01);
    EXPECT_TRUE(SvgText(svg).startsWith(QStringLiteral("黒ボク土単純型計算値")))
        << SvgText(svg).toStdString();
    // The captions stand above the label: the picture is taller than it.
    EXPECT_GT(PictureSize({&label}, {QStringLiteral("黒ボク土")}).height(), label.height());
    EXPECT_EQ(PictureSize({&label}).height(), label.height());
  }
}

TEST(VersionWindow, TheNameFollowsTheVersion) {
  const std::vector<std::pair<QString, QString>> cases{
      {"1.1", "ケルボラ１_１"}, {"1.2", "ケルボラ１_２"}, {"2.10", "ケルボラ２_１０"}};
  for (const auto& [version, name] : cases) EXPECT_EQ(ProgramNameAndVersion(version), name);
}

TEST(StartupDataFolder, AFolderThatCannotBeMadeIsReplacedByTheUsersChoiceOrEndsTheProgram) {
  namespace fs = std::filesystem;
  QTemporaryDir tmp;
  const fs::path root(tmp.path().toStdString());
  { std::ofstream(root / "file") << "not a folder"; }
  const fs::path blocked = root / "file" / "Data";
  ScriptedDialogs dialogs;

  // A folder that is there or can be made: used without a word.
  EXPECT_EQ(UsableDataFolder(dialogs, root / "new" / "Data"), root / "new" / "Data");
  EXPECT_TRUE(fs::is_directory(root / "new" / "Data"));
  EXPECT_TRUE(dialogs.shown.empty());

  // No: the program ends.
  dialogs.answers = {false};
  EXPECT_FALSE(UsableDataFolder(dialogs, blocked));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].text.startsWith(
      QStringLiteral("データフォルダ「%1」を作成できませんでした。").arg(Q(blocked.string()))));

  // Yes: a cancelled choice asks again, a choice that cannot be made either
  // is refused in turn, a good one is taken.
  dialogs.shown.clear();
  dialogs.answers = {true, true, true};
  dialogs.folderNames = {QString(), Q((root / "file" / "x").string()), tmp.filePath("chosen")};
  EXPECT_EQ(UsableDataFolder(dialogs, blocked), root / "chosen");
  int questions = 0;
  for (const auto& s : dialogs.shown) questions += s.kind == "question";
  EXPECT_EQ(questions, 3);
  EXPECT_TRUE(dialogs.answers.empty() && dialogs.folderNames.empty());
}

TEST(StartupDataFolder, WithoutAFileManagerTheMenuNamesTheFolder) {
  test::ScreenEnv env;
  env.main->Startup();
  // The offscreen platform opens nothing.
  env.main->DataFolder_Show->trigger();
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_TRUE(env.dialogs.shown[0].text.contains(Q(env.DataDir().string())));
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("xdg-utils"));
  env.dialogs.answers = {false};
  env.main->close();
}

}  // namespace
}  // namespace kelvora
