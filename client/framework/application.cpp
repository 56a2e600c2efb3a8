// The application object and the run of the program.
#include "framework/application.h"

#include <strings.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>

#include "framework/child_frame.h"
#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/gui_dispatcher.h"
#include "framework/mdi_frame.h"
#include "framework/text.h"
#include "framework/view.h"

namespace fw {
namespace {
Application* instance = nullptr;
}  // namespace

Application::Application(std::string app_name, std::string registry_key)
    : app_name_(std::move(app_name)), profile_(std::move(registry_key), app_name_),
      show_command_(SW_SHOWNORMAL) {
  instance = this;
  GuiDispatcher::Instance().Open();

  OnCommand(kAppExit, [this] { OnAppExit(); });
  OnCommand(
      kFileNew,
      [this] {
        for (const auto& doc_template : templates_) {
          if (doc_template->HasDocumentKind()) {
            doc_template->OpenDocumentFile(nullptr);
            return;
          }
        }
      },
      [this](CommandState& state) {
        state.enabled = false;
        for (const auto& doc_template : templates_) state.enabled |= doc_template->HasDocumentKind();
      });
  OnCommand(
      kFileOpen,
      [this] {
        std::string path;
        if (PromptFileName(&path, true, nullptr)) OpenDocumentFile(path);
      },
      [this](CommandState& state) {
        state.enabled = false;
        for (const auto& doc_template : templates_) state.enabled |= doc_template->HasDocumentKind();
      });
  OnCommand(kFilePrintSetup, [this] {
    QPageSetupDialog dialog(&printer(), mainWindow());
    dialog.exec();
  });
}

Application::~Application() {
  templates_.clear();
  if (main_frame_ != nullptr) {
    main_frame_->Destroy();
    delete main_frame_;
  }
  if (instance == this) instance = nullptr;
}

Application* Application::Instance() { return instance; }

void CommandStateChanged() {
  if (instance != nullptr && instance->mainFrame() != nullptr) instance->mainFrame()->RequestCommandUiUpdate();
}

QWidget* Application::mainWindow() const { return main_frame_; }

int Application::ExitInstance() { return 0; }

int Application::Run() {
  QApplication::setQuitOnLastWindowClosed(false);
  if (!InitInstance()) {
    DestroyMainFrame();
    ExitInstance();
    return 1;
  }
  if (main_frame_ == nullptr) return ExitInstance();
  in_event_loop_ = true;
  QApplication::exec();
  in_event_loop_ = false;
  return ExitInstance();
}

void Application::DestroyMainFrame() {
  if (main_frame_ == nullptr) return;
  MdiFrame* frame = main_frame_;
  main_frame_ = nullptr;
  CloseAllDocuments();
  frame->Destroy();
  delete frame;
}

void Application::OnMainFrameClosed(MdiFrame* frame) {
  if (frame == main_frame_) main_frame_ = nullptr;
  frame->deleteLater();
  // Only the running loop is asked to end: asked outside it, Qt would refuse every
  // later event loop, modal boxes included.
  if (in_event_loop_) QCoreApplication::exit(0);
}

void Application::OnAppExit() {
  if (main_frame_ != nullptr) main_frame_->close();
}

void Application::ShowMainWindow(int show_command) {
  if (main_frame_ == nullptr) return;
  switch (show_command) {
    case SW_HIDE: main_frame_->hide(); break;
    case SW_SHOWMINIMIZED: main_frame_->showMinimized(); break;
    case SW_SHOWMAXIMIZED: main_frame_->showMaximized(); break;
    default: main_frame_->show(); break;
  }
  main_frame_->repaint();
}

DocTemplate* Application::AddDocTemplate(std::unique_ptr<DocTemplate> doc_template) {
  templates_.push_back(std::move(doc_template));
  return templates_.back().get();
}

std::vector<Document*> Application::AllDocuments() const {
  std::vector<Document*> docs;
  for (const auto& doc_template : templates_) {
    for (Document* doc : doc_template->documents()) docs.push_back(doc);
  }
  return docs;
}

bool Application::SaveAllModified() {
  for (Document* doc : AllDocuments()) {
    if (!doc->SaveModified()) return false;
  }
  return true;
}

void Application::CloseAllDocuments() {
  for (const auto& doc_template : templates_) {
    for (Document* doc : doc_template->documents()) doc->OnCloseDocument();
  }
}

Document* Application::OpenDocumentFile(const std::string& path) {
  for (Document* doc : AllDocuments()) {
    if (strcasecmp(doc->pathName().c_str(), path.c_str()) == 0) {
      if (!doc->views().empty() && doc->views().front()->frame() != nullptr) {
        doc->views().front()->frame()->ActivateFrame();
      }
      return doc;
    }
  }
  DocTemplate* chosen = nullptr;
  for (const auto& doc_template : templates_) {
    if (!doc_template->HasDocumentKind()) continue;
    if (doc_template->MatchesFile(path)) {
      chosen = doc_template.get();
      break;
    }
    if (chosen == nullptr) chosen = doc_template.get();
  }
  return chosen != nullptr ? chosen->OpenDocumentFile(path.c_str()) : nullptr;
}

bool Application::PromptFileName(std::string* path, bool open, DocTemplate* doc_template) {
  QStringList filters;
  for (const auto& each : templates_) {
    if (doc_template != nullptr && each.get() != doc_template) continue;
    std::string name = each->GetDocString(DocTemplate::DocString::FilterName);
    if (!name.empty() && each->GetDocString(DocTemplate::DocString::FilterExt).size() > 1) {
      filters << ToQt(name);
    }
  }
  filters << QStringLiteral("All Files (*)");
  QString initial = QFile::decodeName(QByteArray::fromStdString(*path));
  QString chosen = open ? QFileDialog::getOpenFileName(mainWindow(), QString(), initial,
                                                       filters.join(";;"))
                        : QFileDialog::getSaveFileName(mainWindow(), QString(), initial,
                                                       filters.join(";;"));
  if (chosen.isEmpty()) return false;
  *path = QFile::encodeName(chosen).toStdString();
  return true;
}

QPrinter& Application::printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>();
  return *printer_;
}

}  // namespace fw
