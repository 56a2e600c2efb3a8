// The Qt tests' screenshots and their checks.
#include "screenshots.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QColor>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace pellam::test {

int DrawnPixels(const QImage& picture, const QRect& area) {
  const QRect within = area.intersected(picture.rect());
  if (within.isEmpty()) return 0;
  const QColor ground = picture.pixelColor(within.topLeft());
  int drawn = 0;
  for (int y = within.top(); y <= within.bottom(); ++y) {
    for (int x = within.left(); x <= within.right(); ++x) drawn += picture.pixelColor(x, y) != ground ? 1 : 0;
  }
  return drawn;
}

ScreenshotDirectory::ScreenshotDirectory(std::string fallback) {
  const char* kept = std::getenv("PELLAM_SCREENSHOT_DIR");
  if (kept != nullptr && *kept != '\0') {
    path_ = kept;
  } else if (!fallback.empty()) {
    path_ = std::move(fallback);
  } else {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellam-shots-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) temporary_ = path_ = pattern;
  }
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::create_directories(path_, ignored);
}

ScreenshotDirectory::~ScreenshotDirectory() {
  std::error_code ignored;
  if (!temporary_.empty()) std::filesystem::remove_all(temporary_, ignored);
}

void ScreenshotDirectory::Save(const QImage& picture, const std::string& name, int minimumDrawn) const {
  ASSERT_FALSE(path_.empty()) << "no directory for " << name;
  ASSERT_FALSE(picture.isNull()) << name;
  const std::string path = path_ + "/" + name;
  ASSERT_TRUE(picture.save(QString::fromStdString(path))) << path;
  std::printf("[ picture  ] %s (%dx%d)\n", path.c_str(), picture.width(), picture.height());
  const QImage saved(QString::fromStdString(path));
  ASSERT_FALSE(saved.isNull()) << path << " cannot be read back";
  EXPECT_TRUE(saved.convertToFormat(QImage::Format_RGB32) == picture.convertToFormat(QImage::Format_RGB32))
      << path << " holds another picture";
  EXPECT_GT(DrawnPixels(saved, saved.rect()), minimumDrawn) << path << " is blank";
}

}  // namespace pellam::test
