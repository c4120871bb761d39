// kelvora_icon_png SIZE FILE: writes the program's icon, SIZE x SIZE pixels,
// as a PNG file (the desktop icons of the package; not installed).
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <cstdio>

#include "screens/look.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kelvora_icon_png SIZE FILE.png\n");
    return 2;
  }
  const int size = QString::fromLocal8Bit(argv[1]).toInt();
  const QString file = QString::fromLocal8Bit(argv[2]);
  QImage image = kelvora::ProgramIconImage(size);
  if (size <= 0 || image.isNull()) {
    std::fprintf(stderr, "kelvora_icon_png: cannot draw the icon at %s pixels\n", argv[1]);
    return 1;
  }
  QDir().mkpath(QFileInfo(file).absolutePath());
  if (!image.save(file, "PNG")) {
    std::fprintf(stderr, "kelvora_icon_png: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
