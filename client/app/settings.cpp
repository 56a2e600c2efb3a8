// CMailApp's user-interface settings under Software\Corwent\Pelldesk\Settings.
#include <QFontDialog>

#include "app/display_font.h"
#include "app/mail_app.h"
#include "app/resource_ids.h"
#include "framework/commands.h"
#include "framework/mdi_frame.h"
#include "framework/wait_cursor.h"

namespace pelldesk {

void CMailApp::LoadSettings() {
  const fw::Profile& store = profile();
  const std::string font = store.GetString(kSettingsSection, "Font");
  if (!font.empty()) {
    fontState_ = FontState::Stored;
    ParseFontValue(font.c_str(), &logFont_);
  } else {
    fontState_ = FontState::Default;
    logFont_ = LogFont{};
    logFont_.charSet = 0;                                  // ANSI
    logFont_.pitchAndFamily = kFixedPitch | kFamilyModern;  // a fixed-pitch modern font
  }
  settingsDirty_ = false;
  preferences_.beep = store.GetInt(kSettingsSection, "Beep", kSoundBeep);
  preferences_.beepFile = store.GetString(kSettingsSection, "BeepFile", "");
  preferences_.folderCreation = store.GetInt(kSettingsSection, "FolderCreation", 0) != 0;
  preferences_.folderDeletion = store.GetInt(kSettingsSection, "FolderDeletion", 0) != 0;
  preferences_.queryExit = store.GetInt(kSettingsSection, "QueryExit", 0) != 0;
  preferences_.columnHeaders = store.GetInt(kSettingsSection, "ColumnHeaders", 1) != 0;
}

void CMailApp::SaveSettings(bool force) {
  const fw::Profile& store = profile();
  if (fontState_ == FontState::Changed) {
    std::string value;
    if (FormatFontValue(logFont_, &value) && store.WriteString(kSettingsSection, "Font", value) == 0) {
      fontState_ = FontState::Stored;
    }
  }
  if (!settingsDirty_ && !force) return;
  uint32_t failed = 0;
  failed |= store.WriteInt(kSettingsSection, "Beep", preferences_.beep);
  failed |= store.WriteString(kSettingsSection, "BeepFile", preferences_.beepFile);
  failed |= store.WriteInt(kSettingsSection, "FolderCreation", preferences_.folderCreation);
  failed |= store.WriteInt(kSettingsSection, "FolderDeletion", preferences_.folderDeletion);
  failed |= store.WriteInt(kSettingsSection, "QueryExit", preferences_.queryExit);
  failed |= store.WriteInt(kSettingsSection, "ColumnHeaders", preferences_.columnHeaders);
  // Settings that could not be written stay marked, so the next save tries again.
  settingsDirty_ = failed != 0;
}

void CMailApp::SetPreferences(const Preferences& preferences) {
  if (preferences == preferences_) return;
  preferences_ = preferences;
  settingsDirty_ = true;
}

void CMailApp::ChooseFont() {
  QFont initial = displayFont_ ? *displayFont_ : CreateDisplayFont(logFont_).value_or(QFont());
  bool confirmed = false;
  QFont chosen = QFontDialog::getFont(&confirmed, initial, mainWindow(), QStringLiteral("Font"));
  if (!confirmed) return;
  LogFont description;
  if (!LogFontFromQFont(chosen, &description)) {
    ReportErrorNoArg("Failed to create new font; active font unchanged.", 0, 0);
    return;
  }
  ApplyChosenFont(description);
}

bool CMailApp::ApplyChosenFont(const LogFont& description) {
  std::optional<QFont> font = CreateDisplayFont(description);
  if (!font) {
    ReportErrorNoArg("Failed to create new font; active font unchanged.", 0, 0);
    return false;
  }
  fw::WaitCursor wait;
  displayFont_ = *font;
  logFont_ = description;
  fontState_ = FontState::Changed;
  if (fw::MdiFrame* frame = mainFrame()) frame->SendToDescendants(kCmdFontChange);
  return true;
}

}  // namespace pelldesk
