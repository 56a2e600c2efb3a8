// pelldesk_resgen: writes the client's pictures and its new-mail sound into the
// directory given, for the resource compiler. Fails (exit 1) when any file cannot be
// written, so that the build stops rather than shipping a client without pictures.
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

#include "message_pictures.h"
#include "pictures.h"
#include "tree_pictures.h"
#include "wave.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: pelldesk_resgen <output directory>\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]) + "/";
  bool ok = true;
  for (int id = 128; id <= 133; ++id) {
    ok &= resgen::DrawIcon(id, 32).save(dir + QString("icon%1.png").arg(id));
  }
  ok &= resgen::DrawToolBar().save(dir + "toolbar128.png");
  ok &= resgen::DrawSplash().save(dir + "splash135.png");
  ok &= resgen::DrawMessageStates().save(dir + "msg136.png");
  ok &= resgen::DrawFolderStates().save(dir + "tree137.png");
  QFile sound(dir + "newmail102.wav");
  ok &= sound.open(QIODevice::WriteOnly) && sound.write(resgen::SynthesiseNewMailSound()) > 0;
  if (!ok) std::fprintf(stderr, "pelldesk_resgen: cannot write into %s\n", argv[1]);
  return ok ? 0 : 1;
}
