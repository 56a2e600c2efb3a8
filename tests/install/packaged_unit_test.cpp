// The systemd unit that the package installs for the Pellam service against the unit
// that the service control layer writes when setup registers the service: the same
// settings for the installed program, so the service runs alike whichever unit
// systemd finds, and the same file name, so setup's unit takes the packaged one's place.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "../../platform/src/service_record.h"
#include "../../platform/src/service_supervisor.h"
#include "../../platform/src/service_systemd.h"
#include "pellam.h"

namespace {

namespace service = platform::service;

// "Section/Key" → value for every setting of a unit; comments and blank lines dropped.
std::map<std::string, std::string> Settings(const std::string& text) {
  std::map<std::string, std::string> settings;
  std::istringstream in(text);
  std::string section;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t equals = line.find('=');
    const std::string key = section + "/" + line.substr(0, equals);
    EXPECT_EQ(settings.count(key), 0u) << key << " is set twice";
    settings[key] = equals == std::string::npos ? "" : line.substr(equals + 1);
  }
  return settings;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PackagedUnit, SaysWhatTheServiceLayersUnitSaysForTheInstalledProgram) {
  service::Record record;
  record.image_path = PELLAM_INSTALLED_SERVICE;
  record.display_name = PELLAM_SERVICE_DISPLAY_NAME;
  const auto layer = Settings(service::UnitText(record, service::StopWaitMs()));
  const std::string packaged_text = ReadFile(PELLAM_PACKAGED_UNIT);
  ASSERT_FALSE(packaged_text.empty()) << "cannot read " << PELLAM_PACKAGED_UNIT;
  const auto packaged = Settings(packaged_text);

  ASSERT_FALSE(layer.empty());
  for (const auto& [key, value] : layer) {
    const auto found = packaged.find(key);
    EXPECT_TRUE(found != packaged.end() && found->second == value)
        << key << ": packaged " << (found == packaged.end() ? "(none)" : found->second)
        << ", the layer's " << value;
  }
  const std::set<std::string> only_packaged{"Unit/Documentation"};
  for (const auto& [key, value] : packaged) {
    EXPECT_TRUE(layer.count(key) == 1 || only_packaged.count(key) == 1)
        << key << "=" << value << " is in the packaged unit only";
  }
}

TEST(PackagedUnit, HasTheFileNameOfTheServiceLayersUnit) {
  EXPECT_EQ(std::filesystem::path(PELLAM_PACKAGED_UNIT).filename().string(),
            service::UnitName(PELLAM_SERVICE_NAME));
}

}  // namespace
