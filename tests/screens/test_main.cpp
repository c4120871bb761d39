// Screen tests run on the offscreen platform (unless QT_QPA_PLATFORM says
// otherwise) with the program's Japanese font.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

#include "screens/background_work.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setPointSize(10);
  QApplication::setFont(font);
  testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  kelvora::WaitForBackgroundWork();
  return status;
}
