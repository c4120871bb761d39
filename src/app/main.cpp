// kelvora: the desktop program.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <filesystem>

#include "screens/dialogs.h"
#include "screens/mdiform1.h"
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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kelvora"));
  QApplication::setApplicationDisplayName(QStringLiteral("ケルボラ１"));
  QTranslator translator;
  InstallJapaneseTranslations(app, translator);
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setPointSize(10);
  QApplication::setFont(font);

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("ケルボラ１"));
  parser.addHelpOption();
  QCommandLineOption dataDirOption(
      QStringLiteral("data-dir"),
      QStringLiteral("データフォルダ（既定はプログラムと同じ場所の Data）"), QStringLiteral("DIR"));
  parser.addOption(dataDirOption);
  parser.process(app);
  QString dataDir =
      parser.isSet(dataDirOption)
          ? parser.value(dataDirOption)
          : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data"));

  kelvora::hensuu store;
  kelvora::QtDialogs dialogs;
  kelvora::MDIForm1 window(store, std::filesystem::path(dataDir.toStdString()), dialogs);
  QObject::connect(&window, &kelvora::MDIForm1::Closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  if (!window.Startup()) return 1;
  return app.exec();
}
