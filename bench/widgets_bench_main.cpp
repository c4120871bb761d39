// The main of the benchmarks that drive screens: offscreen unless a display
// is chosen, with the desktop program's font, so texts are laid out as the
// user sees them.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setPointSize(10);
  QApplication::setFont(font);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
