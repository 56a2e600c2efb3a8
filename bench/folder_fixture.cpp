// Folders of messages and the in-process floor of opening a folder window.
#include "folder_fixture.h"

#include <benchmark/benchmark.h>

#include <QImage>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/mail_app.h"
#include "folder/dir_doc.h"
#include "folder/dir_view.h"

namespace bench {

void FillFolder(const std::string& folder, int count, std::size_t smallest, std::size_t largest) {
  std::filesystem::create_directories(folder);
  const std::size_t spread = largest > smallest ? largest - smallest : 0;
  uint32_t seed = 12345;
  for (int i = 1; i <= count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t size = spread == 0 ? smallest : smallest + (seed >> 8) % spread;
    char name[32];
    std::snprintf(name, sizeof name, "msg%04d.mai", i);
    std::string text = "Received: by NODEA; Mon, 12 Jan 1995 10:" + std::to_string(i % 60) +
                       ":30 GMT\r\nFrom: NODEA::SENDER" + std::to_string(i % 97) + " (A Sender)\r\nTo: ANN\r\n"
                       "Subject: message number " + std::to_string(i) + " about something\r\n\r\n";
    while (text.size() < size) text += "A line of the message body, as people write them.\r\n";
    text.resize(size);
    std::ofstream(folder + name, std::ios::binary) << text;
  }
}

bool LoadAndFirstPaint(const std::string& path) {
  const pelldesk::ClientServices& services = pelldesk::CMailApp::Get().services();
  pelldesk::CDirDoc doc(services);
  if (!doc.OnOpenDocument(path)) return false;
  auto* view = new pelldesk::CDirView(services);
  doc.AddView(view);
  view->resize(900, 600);
  view->OnInitialUpdate();
  const QImage shown = view->grab().toImage();
  benchmark::DoNotOptimize(shown.constBits());
  delete view;
  return true;
}

}  // namespace bench
