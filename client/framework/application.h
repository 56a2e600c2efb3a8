// The application object: the end of every command chain, the owner of the document
// templates and the main frame, the per-user profile, and the run of the program
// (InitInstance, the event loop, ExitInstance). There is one per process.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/command_target.h"
#include "framework/profile.h"

class QPrinter;
class QWidget;

namespace fw {

class DocTemplate;
class Document;
class MdiFrame;

// Something a command's enable, check or pane state depends on has changed (a
// document, a selection, the mailbox): the main frame refreshes its actions and panes
// once the current event is handled. Cheap; callable with no application or frame.
void CommandStateChanged();

class Application : public CommandTarget {
 public:
  // `app_name` captions message boxes; the profile lives under
  // Software\<registry_key>\<app_name> of the current user.
  Application(std::string app_name, std::string registry_key);
  ~Application() override;

  static Application* Instance();

  const std::string& appName() const { return app_name_; }
  const Profile& profile() const { return profile_; }

  // Start-up: false ends the program.
  virtual bool InitInstance() = 0;
  // The end of the run, after the main window is gone; returns the exit code.
  virtual int ExitInstance();
  // InitInstance, the event loop while the main frame is open, ExitInstance.
  int Run();

  MdiFrame* mainFrame() const { return main_frame_; }
  QWidget* mainWindow() const;
  void SetMainFrame(MdiFrame* frame) { main_frame_ = frame; }
  // Lets the main frame save what it keeps and deletes it (start-up that failed).
  void DestroyMainFrame();
  // Called by the main frame once it has closed.
  void OnMainFrameClosed(MdiFrame* frame);
  // Whether the main frame may close; the base asks every modified document.
  virtual bool CanCloseMainFrame() { return SaveAllModified(); }

  // How the program was asked to show its main window, and showing it so.
  int showCommand() const { return show_command_; }
  void ShowMainWindow(int show_command);

  DocTemplate* AddDocTemplate(std::unique_ptr<DocTemplate> doc_template);
  const std::vector<std::unique_ptr<DocTemplate>>& templates() const { return templates_; }
  // Every open document, template by template in registration order.
  std::vector<Document*> AllDocuments() const;
  bool SaveAllModified();
  void CloseAllDocuments();

  // The open document of `path` (compared ignoring case) brought to the front, or the
  // file opened through the template whose extension it has.
  Document* OpenDocumentFile(const std::string& path);
  // The file dialog for opening or saving with the templates' filters (the file name
  // comes back in the file system's bytes); false on Cancel.
  bool PromptFileName(std::string* path, bool open, DocTemplate* doc_template);

  // The printer that print set-up chose and printing uses.
  QPrinter& printer();

 protected:
  // Command 57665: closes the main frame, which asks the documents.
  virtual void OnAppExit();

 private:
  std::string app_name_;
  Profile profile_;
  MdiFrame* main_frame_ = nullptr;
  int show_command_;
  bool in_event_loop_ = false;
  std::vector<std::unique_ptr<DocTemplate>> templates_;
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace fw
