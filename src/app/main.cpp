// kelvora: the desktop program.
#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "kelvora_version.h"
#include "print/remembered_folder.h"
#include "screens/background_work.h"
#include "screens/data_folder_question.h"
#include "screens/dialogs.h"
#include "screens/look.h"
#include "screens/mdiform1.h"
#include "store/data_folder.h"
#include "store/hensuu.h"

namespace {

// Qt's own texts (buttons of message boxes, window menus) in Japanese.
void InstallJapaneseTranslations(QApplication& app, QTranslator& translator) {
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  for (const QString& dir : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                             QStringLiteral("/usr/share/qt6/translations")}) {
    if (translator.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
      app.installTranslator(&translator);
      return;
    }
  }
}

// The options of the program, and Qt's own (such as -platform), which every
// Qt program takes and which the help leaves out.
struct CommandLine {
  QCommandLineParser parser;
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                          QStringLiteral("この説明を表示して終了します。")};
  QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                             QStringLiteral("バージョンを表示して終了します。")};
  QCommandLineOption dataDir{
      QStringLiteral("data-dir"),
      QStringLiteral("データフォルダ。既定はプログラムと同じ場所の Data（あるか作れるとき）、"
                     "インストールしたプログラムでは ~/.local/share/kelvora/Data"
                     "（$XDG_DATA_HOME/kelvora/Data）です。"),
      QStringLiteral("DIR")};

  CommandLine() {
    parser.setApplicationDescription(
        QStringLiteral("ケルボラ１: 土壌・被覆肥料の窒素無機化パラメータ算出と無機化推定"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(dataDir);
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "geometry", "qwindowicon", "icon", "qwindowtitle", "title", "display", "name", "visual",
          "style", "stylesheet", "session", "qmljsdebugger"}) {
      QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("VALUE"));
      qt.setFlags(QCommandLineOption::HiddenFromHelp);
      parser.addOption(qt);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"}) {
      QCommandLineOption qt(QString::fromLatin1(name));
      qt.setFlags(QCommandLineOption::HiddenFromHelp);
      parser.addOption(qt);
    }
  }
};

// The options are read before any window: --help and --version answer, and a
// mistake is named (exit 2), also without a display (a terminal, an ssh
// session).
void ReadOptions(int argc, char** argv, CommandLine& cl) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  if (!cl.parser.parse(args)) {
    const QStringList unknown = cl.parser.unknownOptionNames();
    const QString what =
        unknown.isEmpty()
            ? QStringLiteral("オプションの指定が正しくありません（%1）").arg(cl.parser.errorText())
            : QStringLiteral("不明なオプションです: %1").arg(unknown.join(QStringLiteral(", ")));
    std::fprintf(stderr, "kelvora: %s\n（kelvora --help で使い方を表示します）\n",
                 what.toLocal8Bit().constData());
    std::exit(2);
  }
  if (!cl.parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "kelvora: 余分な引数です: %s\n（kelvora --help で使い方を表示します）\n",
                 cl.parser.positionalArguments().join(QLatin1Char(' ')).toLocal8Bit().constData());
    std::exit(2);
  }
  if (!cl.parser.isSet(cl.help) && !cl.parser.isSet(cl.version)) return;
  QCoreApplication app(argc, argv);
  if (cl.parser.isSet(cl.version)) cl.parser.showVersion();
  cl.parser.showHelp(0);
}

// Without a display to show its windows on, the program says so and ends
// (Qt itself would abort). A platform chosen by QT_QPA_PLATFORM, -platform or
// -display is left to Qt.
void RequireDisplay(const CommandLine& cl) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
      cl.parser.isSet(QStringLiteral("platform")) || cl.parser.isSet(QStringLiteral("display"))) {
    return;
  }
  std::fprintf(
      stderr,
      "kelvora: 画面に表示できません（DISPLAY も WAYLAND_DISPLAY も設定されていません）。\n"
      "デスクトップの中で起動して下さい。画面なしの計算には kelvora-cli を使います。\n");
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("kelvora"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kelvora::kVersion));
  CommandLine cl;
  ReadOptions(argc, argv, cl);
  RequireDisplay(cl);

  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("ケルボラ１"));
  // The desktop entry (and its icon) that this program's windows belong to.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.kelvora.Kelvora"));
  QApplication::setWindowIcon(kelvora::ProgramIcon());
  QTranslator translator;
  InstallJapaneseTranslations(app, translator);
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setPointSize(10);
  QApplication::setFont(font);

  // The folders the file dialogs last used, kept across starts.
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (!config.isEmpty()) {
    kelvora::KeepRememberedFoldersIn(config + QStringLiteral("/kelvora/kelvora.conf"));
  }

  // The data folder: --data-dir, Data beside the program, or the user's own.
  kelvora::DataFolderPlaces places = kelvora::PlacesOfProgram(
      std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()));
  if (cl.parser.isSet(cl.dataDir)) places.commandLine = cl.parser.value(cl.dataDir).toStdString();
  kelvora::DataFolderChoice dataFolder = kelvora::ChooseDataFolder(places);

  kelvora::hensuu store;
  kelvora::QtDialogs dialogs;
  // A folder that cannot be made is never used with data that could not be
  // saved: another folder, or the end.
  const std::optional<std::filesystem::path> usable =
      kelvora::UsableDataFolder(dialogs, dataFolder.dir);
  if (!usable) return 1;
  dataFolder.dir = *usable;
  kelvora::MDIForm1 window(store, dataFolder.dir, dialogs);
  QObject::connect(&window, &kelvora::MDIForm1::Closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  if (!window.Startup()) return 1;
  // Once, on the first start that made the user's data folder.
  const std::string note = kelvora::DataFolderNote(dataFolder);
  if (!note.empty()) {
    dialogs.Message(&window, QStringLiteral("データフォルダ"), QString::fromStdString(note));
  }
  const int status = app.exec();
  // A refinement still computing for a closed window ends before the program.
  kelvora::WaitForBackgroundWork();
  return status;
}
