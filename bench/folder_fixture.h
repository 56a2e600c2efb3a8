// What the folder benchmarks share: folders of numbered messages made once, and the
// floor of opening a folder window (the document's load with its view's first paint,
// in process, no frame and no X requests). Callers need a QApplication and the client's
// application object.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// Writes msg0001.mai to msgNNNN.mai into `folder` (made if missing, ending in "/"),
// each a received message whose size lies between `smallest` and `largest` bytes,
// spread by a fixed sequence so that every run makes the same folder.
void FillFolder(const std::string& folder, int count, std::size_t smallest, std::size_t largest);

// Loads the folder at `path` (no final "/") into a folder document and paints its view
// once, 900 by 600; false when the folder did not load.
bool LoadAndFirstPaint(const std::string& path);

}  // namespace bench
