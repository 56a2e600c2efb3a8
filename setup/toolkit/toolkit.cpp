// The toolkit's calls over the front end and the platform layer. Failures of the
// system are told with the platform's text for their code, caption "Setup Error".
#include "toolkit.h"

#include "directories.h"
#include "menu_items.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace setup {
namespace {

constexpr char kErrorCaption[] = "Setup Error";

// The whole of a small file through the platform layer; 0 or the code.
uint32_t ReadWholeFile(const std::string& path, std::string* text) {
  platform::UniqueFile file(
      platform::CreateFile(path.c_str(), platform::kRead, platform::kShareRead, platform::kOpenExisting));
  if (!file) return platform::GetLastError();
  text->clear();
  char buffer[4096];
  for (;;) {
    uint32_t done = 0;
    if (!platform::ReadFile(file.get(), buffer, sizeof buffer, &done)) return platform::GetLastError();
    if (done == 0) return ERROR_SUCCESS;
    text->append(buffer, done);
    if (text->size() > (1u << 20)) return ERROR_INVALID_DATA;  // no script is that long
  }
}

}  // namespace

bool Toolkit::GetSymbol(const std::string& name, std::string* value, std::size_t max_length) const {
  const auto found = symbols_.find(name);
  const std::string& text = found != symbols_.end() ? found->second : std::string();
  if (text.size() > max_length) return false;
  *value = text;
  return true;
}

bool Toolkit::DoDialog(int id, DialogProc proc, int help_id) {
  DialogRequest request;
  request.dialog = FindDialogTemplate(id);
  request.proc = proc;
  request.help = help_id != 0 ? FindDialogTemplate(help_id) : nullptr;
  if (request.dialog == nullptr || (help_id != 0 && request.help == nullptr)) return false;
  bool shown = false;
  if (proc == DialogProc::kModeless) {
    shown = front_end_.ShowNote(*request.dialog);
  } else {
    request.text = ExpandSymbols(request.dialog->text);
    request.edit_in = symbols_["EditTextIn"];
    request.edit_focus = symbols_["EditFocus"];
    DialogAnswer answer;
    shown = front_end_.ShowDialog(request, &answer);
    if (shown) {
      symbols_["DLGEVENT"] = answer.event;
      if (proc == DialogProc::kEdit) symbols_["EditTextOut"] = answer.edit_out;
    }
  }
  front_end_.ProcessEvents();
  return shown;
}

std::string Toolkit::ExpandSymbols(const std::string& text) const {
  std::string out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t open = text.find('%', at);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) break;
    const auto symbol = symbols_.find(text.substr(open + 1, close - open - 1));
    out += text.substr(at, open - at);
    if (symbol != symbols_.end()) {
      out += symbol->second;
    } else {
      out += text.substr(open, close - open + 1);  // not a symbol: as it stands
    }
    at = close + 1;
  }
  return out + text.substr(at);
}

bool Toolkit::KillDialogs() {
  const bool closed = front_end_.CloseNotes();
  front_end_.ProcessEvents();
  return closed;
}

void Toolkit::MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  front_end_.ShowMessage(text, caption, icon);
  front_end_.ProcessEvents();
}

void Toolkit::ReportFailure(const std::string& what, uint32_t code) {
  char text[512];
  MessageBox(what + "\n\n" + GetErrorText(code, text, sizeof text, nullptr), kErrorCaption,
             MessageIcon::kStop);
}

bool Toolkit::OpenInf(const std::string& path) {
  std::string text;
  if (const uint32_t code = ReadWholeFile(path, &text)) {
    ReportFailure("Setup cannot read its script " + path + ".", code);
    return false;
  }
  std::string error;
  if (!script_.Parse(text, &error)) {
    MessageBox("The script " + path + " is not valid: " + error + ".", kErrorCaption, MessageIcon::kStop);
    return false;
  }
  script_open_ = true;
  return true;
}

bool Toolkit::AddSectionFilesToCopyList(const std::string& section, const std::string& source_dir,
                                        const std::string& destination_dir) {
  if (!script_open_) return false;
  if (copy_list_.AddSection(script_, section, source_dir, destination_dir)) return true;
  MessageBox("The script has no section [" + section + "].", kErrorCaption, MessageIcon::kStop);
  return false;
}

int Toolkit::CopyFilesInCopyList() {
  const auto& entries = copy_list_.entries();
  front_end_.BeginProgress(entries.size(), gauge_x_, gauge_y_);
  int result = kCopyDone;
  for (std::size_t i = 0; i < entries.size() && result == kCopyDone; ++i) {
    if (!front_end_.Progress(i, entries[i].destination)) {
      result = kCopyUserQuit;
    } else if (!platform::CopyFile(entries[i].source.c_str(), entries[i].destination.c_str(), false)) {
      const uint32_t code = platform::GetLastError();
      front_end_.EndProgress();
      ReportFailure("Setup cannot copy " + entries[i].source + " to " + entries[i].destination + ".", code);
      return kCopyFailed;
    }
  }
  front_end_.EndProgress();
  return result;
}

bool Toolkit::CreateDir(const std::string& path, unsigned mode) {
  std::string blocker;
  if (const uint32_t code = CreateDirectoryPath(path, mode, &blocker)) {
    ReportFailure(blocker.empty() ? "Setup cannot create the directory " + path + "."
                                  : "Setup cannot create the directory " + path + ": " + blocker +
                                        " is not a directory.",
                  code);
    return false;
  }
  return true;
}

bool Toolkit::ShowMenuGroup(const std::string& group) {
  applications_ = ApplicationsDirectory();
  if (applications_.empty()) {
    ReportFailure("Setup cannot find the applications menu for the group " + group + ".", ERROR_NONE_MAPPED);
    return false;
  }
  return CreateDir(applications_, 0755);
}

bool Toolkit::CreateMenuItem(const std::string& group, const std::string& item, const std::string& target,
                             const std::string& comment) {
  if (applications_.empty()) return false;
  if (const uint32_t code = WriteDesktopEntry(applications_, group, item, target, comment)) {
    ReportFailure("Setup cannot create the menu item " + item + ".", code);
    return false;
  }
  return true;
}

}  // namespace setup
