// What the screen tests share: a data folder of their own, a data store, the
// scripted dialogs, a main window, and key and mouse helpers that go through
// the real widgets.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "fake_printers.h"
#include "screens/data_grid.h"
#include "screens/mdiform1.h"
#include "scripted_dialogs.h"
#include "store/hensuu.h"

namespace kelvora::test {

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A file written into a folder of the test; its path.
inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const std::string& bytes) {
  const QString path = dir.filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return path;
}

inline std::string Fixture(const char* name) {
  return ReadBytes(std::filesystem::path(KELVORA_FIXTURE_DIR) / name);
}

// What kelvora-cli, run in this process, prints for the table (its JSON):
// `command` is "fit" or "fit-field", with standard temperature 25 and the
// given name.
inline std::string CliFit(const std::string& command, const std::string& table,
                          const std::string& name, bool fertilizer,
                          const std::vector<std::string>& extra = {}) {
  QTemporaryFile file;
  EXPECT_TRUE(file.open());
  file.write(table.data(), static_cast<qint64>(table.size()));
  file.flush();
  std::vector<std::string> args{
      command, file.fileName().toStdString(), "--std-temp", "25", "--name", name};
  if (fertilizer) args.push_back("--fertilizer");
  args.insert(args.end(), extra.begin(), extra.end());
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(args, out, err), 0) << err.str();
  return out.str();
}

inline void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

// Sends the characters to whichever widget has the focus, one key at a time,
// as a user's typing does. ASCII characters arrive as their keys; any other
// character (kana, kanji, 〜 …) arrives as a key event carrying that text, as
// an input method delivers it.
inline void Type(const QString& text) {
  for (char32_t cp : text.toUcs4()) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr) << "no widget has the focus";
    if (cp < 0x80) {
      QTest::keyClick(w, static_cast<char>(cp));
    } else {
      QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString::fromUcs4(&cp, 1),
                          Qt::NoModifier);
    }
  }
}

inline void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* w = QApplication::focusWidget();
  ASSERT_NE(w, nullptr) << "no widget has the focus";
  QTest::keyClick(w, key, mods);
}

inline void ClickCell(FlexGrid* grid, int row, int col, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers mods = Qt::NoModifier) {
  grid->EnsureVisible(row, col);
  QTest::mouseClick(grid->viewport(), button, mods, grid->CellRect(row, col).center());
}

// A main window over a data folder that does not exist yet.
struct ScreenEnv {
  QTemporaryDir tmp;
  hensuu store;
  ScriptedDialogs dialogs;
  FakePrinters printers;
  std::unique_ptr<MDIForm1> main;

  ScreenEnv() {
    printers.jobFolder = tmp.filePath(QStringLiteral("jobs"));
    main = std::make_unique<MDIForm1>(store, DataDir(), dialogs, nullptr, &printers);
    main->resize(1366, 768);
  }
  std::filesystem::path DataDir() const {
    return std::filesystem::path(tmp.path().toStdString()) / "Data";
  }
  void Show() {
    main->show();
    QApplication::setActiveWindow(main.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
  }
  Baiyo_Form0_3* Baiyo() const { return main->Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3); }
  Baiyo_Form0_3* OpenBaiyo() {
    main->OpenChildScreen(Screen::Baiyo_Form0_3);
    return Baiyo();
  }
};

}  // namespace kelvora::test
