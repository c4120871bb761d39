// The data folder in the main window: "データフォルダを開く" in the help menu
// opens it in the file manager, the version window shows it and the version;
// the window icon is the drawing of the desktop icon.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QMenu>
#include <QTest>
#include <QUrl>

#include "kelvora_version.h"
#include "screen_test_env.h"
#include "screens/barjon.h"
#include "screens/look.h"
#include "screens/mdiform1.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

// Stands in for the file manager: keeps the URLs the program asked to open.
class FileManager : public QObject {
  Q_OBJECT

 public:
  FileManager() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~FileManager() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

TEST(DataFolderMenu, HelpMenuOpensTheDataFolderInTheFileManager) {
  ScreenEnv env;
  env.main->Startup();
  const QList<QAction*> items = env.main->Help->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0], env.main->Help_Show);
  EXPECT_EQ(items[1], env.main->DataFolder_Show);
  EXPECT_EQ(items[2], env.main->Barjon_Show);
  EXPECT_EQ(env.main->DataFolder_Show->text(), "データフォルダを開く");

  FileManager fileManager;
  env.main->DataFolder_Show->trigger();
  ASSERT_EQ(fileManager.opened.size(), 1);
  EXPECT_EQ(fileManager.opened[0],
            QUrl::fromLocalFile(QString::fromStdString(env.DataDir().string())));
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST(DataFolderMenu, TheVersionWindowShowsTheVersionAndTheDataFolder) {
  ScreenEnv env;
  env.main->Startup();
  env.main->Barjon_Show->trigger();
  auto* barjon = env.main->findChild<Barjon*>();
  ASSERT_NE(barjon, nullptr);
  EXPECT_EQ(barjon->Label3->text(), QStringLiteral("バージョン ") + QLatin1String(kVersion));
  EXPECT_EQ(barjon->Label4->text(),
            QStringLiteral("データフォルダ: ") + QString::fromStdString(env.DataDir().string()));
  EXPECT_TRUE(barjon->Label4->isVisibleTo(barjon));
  barjon->close();

  // From a child screen's help menu too.
  ChildScreen* screen = env.main->FindScreen(Screen::Baiyo_Form0_3);
  ASSERT_NE(screen, nullptr);
  auto* version = screen->findChild<QAction*>(QStringLiteral("Barjon_Show"));
  ASSERT_NE(version, nullptr);
  version->trigger();
  barjon = env.main->findChild<Barjon*>();
  ASSERT_NE(barjon, nullptr);
  EXPECT_TRUE(barjon->Label4->text().endsWith(QString::fromStdString(env.DataDir().string())));
}

TEST(ProgramIcon, TheWindowIconIsTheDesktopIconsDrawing) {
  // The SVG is in the program: drawn, it is neither empty nor blank.
  QImage drawn = ProgramIconImage(48);
  ASSERT_EQ(drawn.size(), QSize(48, 48));
  int opaque = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) opaque += qAlpha(drawn.pixel(x, y)) == 255;
  }
  EXPECT_GT(opaque, 48 * 48 / 3);
  // The soil block at the bottom is the brown of the drawing.
  EXPECT_EQ(QColor(drawn.pixel(3, 40)), QColor(0x79, 0x55, 0x3d));
  // The main window's icon is that drawing, pixel for pixel.
  ScreenEnv env;
  QImage window = env.main->windowIcon().pixmap(48, 48).toImage().convertToFormat(drawn.format());
  EXPECT_EQ(window, drawn);
}

}  // namespace
}  // namespace kelvora

#include "data_folder_menu_test.moc"
