// pellam_icongen: draws the client's main-window icon (icon 128) once for each size
// given, as a hicolor icon theme tree: <directory>/<size>x<size>/apps/pellam.png. The
// drawing is the client's own, made at each size rather than scaled from one picture.
// Fails (exit 1) when a file cannot be written, so that no install lacks an icon.
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

#include "pictures.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: pellam_icongen <output directory> <size>...\n");
    return 2;
  }
  const QString top = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    char* end = nullptr;
    const long size = std::strtol(argv[i], &end, 10);
    if (end == argv[i] || *end != '\0' || size < 16 || size > 1024) {
      std::fprintf(stderr, "pellam_icongen: %s is not an icon size (16 to 1024)\n", argv[i]);
      return 2;
    }
    const QString dir = QString("%1/%2x%2/apps").arg(top).arg(size);
    if (!QDir().mkpath(dir) ||
        !resgen::DrawIcon(128, static_cast<int>(size)).save(dir + "/pellam.png")) {
      std::fprintf(stderr, "pellam_icongen: cannot write into %s\n", qPrintable(dir));
      return 1;
    }
  }
  return 0;
}
