// Screenshots that the Qt tests take for a person to look at, and the checks that make
// them tests: the file saved holds exactly the picture taken, and the picture shows
// more than a blank. They go into PELLAM_SCREENSHOT_DIR when it is set.
#pragma once

#include <QImage>
#include <QRect>

#include <string>

namespace pellam::test {

// Pixels of `area` that differ from its first: text and lines.
int DrawnPixels(const QImage& picture, const QRect& area);

class ScreenshotDirectory {
 public:
  // PELLAM_SCREENSHOT_DIR when it is set; otherwise `fallback` (made if missing), or
  // with none a temporary directory that goes with this object.
  explicit ScreenshotDirectory(std::string fallback = "");
  ~ScreenshotDirectory();
  ScreenshotDirectory(const ScreenshotDirectory&) = delete;
  ScreenshotDirectory& operator=(const ScreenshotDirectory&) = delete;

  const std::string& path() const { return path_; }

  // Saves `picture` as `name` and reads it back: the test fails unless the file holds
  // exactly that picture and more than `minimumDrawn` of its pixels are drawn.
  void Save(const QImage& picture, const std::string& name, int minimumDrawn) const;

 private:
  std::string path_;
  std::string temporary_;
};

}  // namespace pellam::test
