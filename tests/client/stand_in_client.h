// A stand-in for everything a window is given by the application (app/client_services.h):
// it records each error report, folder operation, window opened and folder asked for,
// and answers as the test sets it, so that a document or view is tested with no
// application object at all. Nothing here touches the disk but the emptiness answer.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/client_services.h"
#include "app/error_report.h"
#include "app/folder_emptiness.h"
#include "app/mail_paths.h"

namespace pelldesk::test {

class StandInClient : public ErrorReporter,
                      public UserMailbox,
                      public FolderOperations,
                      public OpenWindows,
                      public FolderChooser,
                      public WindowSettings {
 public:
  // `mailDirectory` ends in "/".
  explicit StandInClient(std::string mailDirectory) : mailDirectory_(std::move(mailDirectory)) {}

  ClientServices services() { return {this, this, this, this, this, this, &emptiness}; }

  // Error reports, as their boxes would read; each is answered with `reportAnswer`.
  std::vector<std::string> reports;
  int reportAnswer = 1;  // OK
  int ReportError(const char* format, const char* text, uint32_t status, unsigned) override {
    reports.push_back(FormatErrorReport(format, text, status).value_or(format));
    return reportAnswer;
  }

  std::string user = "ann";
  std::string full = "Ann Smith";
  const std::string& userName() const override { return user; }
  const std::string& fullName() const override { return full; }
  const std::string& mailDirectory() const override { return mailDirectory_; }
  std::string MainFolderPath() const override { return mailDirectory_ + "main/"; }
  std::string NewFolderPath() const override { return mailDirectory_ + "new/"; }
  std::string DeletedFolderPath() const override { return mailDirectory_ + "deleted/"; }

  // The folder operations asked for, in order: "delete <path>", "move <path> to <folder>",
  // "delete folder <path>", "message closed <path>", "folder closed <path>"; a move ends
  // in " create" when it may make the folder, and any operation in " ask" when it
  // offers Cancel. `answer` gives each its result (0 when unset) and may act as the
  // application would, telling the windows.
  std::vector<std::string> operations;
  std::function<int(const std::string& operation)> answer;
  int DeleteMessage(const std::string& path, bool askToContinue) override {
    return Operation("delete " + path + Ask(askToContinue));
  }
  int MoveMessage(const std::string& path, const std::string& folderName, bool allowCreate,
                  bool askToContinue) override {
    return Operation("move " + path + " to " + folderName + (allowCreate ? " create" : "") + Ask(askToContinue));
  }
  int DeleteFolder(const std::string& path, bool askToContinue) override {
    return Operation("delete folder " + path + Ask(askToContinue));
  }
  void NotifyMessageClosed(const std::string& path) override { Operation("message closed " + path); }
  void NotifyFolderClosed(const std::string& path) override { Operation("folder closed " + path); }

  // The windows open (by path, compared exactly) and those asked to open.
  std::vector<std::string> openPaths;
  std::vector<std::string> opened;
  bool OpenMessageWindow(const char* path) override {
    opened.push_back(path != nullptr ? path : "<new>");
    return true;
  }
  bool OpenFolderWindow(const std::string& path) override {
    opened.push_back(path);
    return true;
  }
  bool IsDocumentOpen(const std::string& path) const override {
    for (const std::string& open : openPaths) {
      if (open == path) return true;
    }
    return false;
  }
  std::vector<std::string> OpenDocumentPaths() const override { return openPaths; }

  // The user's answer to "Destination folder"; none: Cancel.
  std::optional<FolderChoice> choice;
  int choicesAsked = 0;
  bool ChooseDestination(FolderChoice* chosen) override {
    ++choicesAsked;
    if (!choice) return false;
    *chosen = *choice;
    return true;
  }

  bool deletion = false;
  bool headers = true;
  bool ending = false;
  bool folderDeletion() const override { return deletion; }
  bool columnHeaders() const override { return headers; }
  const QFont* displayFont() const override { return nullptr; }
  bool exiting() const override { return ending; }

  // The shared answer, counting the listings it makes.
  int listings = 0;
  FolderEmptiness emptiness{[this](const std::string& path) {
    ++listings;
    return IsFolderEmpty(path);
  }};

 private:
  static std::string Ask(bool askToContinue) { return askToContinue ? " ask" : ""; }
  int Operation(const std::string& operation) {
    operations.push_back(operation);
    return answer ? answer(operation) : 0;
  }

  std::string mailDirectory_;
};

}  // namespace pelldesk::test
