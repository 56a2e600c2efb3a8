// CMsgDoc, the document of every message window: a stored message shown read-only, or
// a composition (new, reply, forward). It decides the window's mode, reads the stored
// message's headers, builds replies and forwards, posts through the mail library,
// keeps lastpost.txt and lastquit.txt, files a message read from "new" into "main"
// when its window closes, and gives the window its title and two status-bar panes.
// Its text lives in its view (MsgTextView); the document keeps no copy. It reaches the
// rest of the client only through the services it is made with.
#pragma once

#include <cstddef>
#include <string>

#include "app/client_services.h"
#include "app/mailbox_listeners.h"
#include "folder/folder_kind.h"
#include "framework/document.h"

namespace pelldesk {

class MsgTextView;

enum class MsgMode { None = 0, Read = 1, Send = 2, Reply = 3, Fwd = 4 };

class CMsgDoc : public fw::Document, public MovedFileListener {
 public:
  // Which standard folder holds the message file, and why the document closes: its
  // file was moved to "deleted" or elsewhere by some operation, or the document is
  // filing its own file while it closes. The folder window uses the same two.
  using FolderKind = pelldesk::FolderKind;
  using CloseReason = pelldesk::CloseReason;

  explicit CMsgDoc(const ClientServices& services);

  // READ: the stored message's header values; compositions: the user's own address in
  // from and what a reply or forward put in to and subject.
  std::string date;
  std::string from;
  std::string to;
  std::string cc;
  std::string subject;
  MsgMode mode = MsgMode::None;
  int messageNumber = -1;  // from the file name; -1 for none
  std::string folderName;  // the last name of the directory that holds the file
  FolderKind folderKind = FolderKind::Other;
  CloseReason closeReason = CloseReason::None;

  bool IsComposition() const { return mode == MsgMode::Send || mode == MsgMode::Reply || mode == MsgMode::Fwd; }

  // The framework's operations.
  bool OnNewDocument() override;
  bool OnOpenDocument(const std::string& path) override;
  bool OnSaveDocument(const std::string& path) override;
  void SetPathName(const std::string& path) override;
  void SetTitle(const std::string& title) override;
  void OnCloseDocument() override;

  // The file of this document now lies at `newPath`: the window closes unless the
  // document is filing its own file.
  void OnFileMoved(const std::string& oldPath, const std::string& newPath, bool toDeleted) override;

  // The window's commands (also reached through their ids).
  void Reply();
  void Forward();
  void Post();
  void Cancel();
  void Move();
  void Delete();
  void Close();

  // The text of the mode pane.
  std::string ModeText() const;

 private:
  MsgTextView* TextView() const;
  // Sets messageNumber, folderName and folderKind from the file `path` names.
  void LocateFile(const std::string& path);
  void ExtractHeaders();
  // A new window of this template, still in SEND mode; null when none opens.
  CMsgDoc* OpenComposition();
  // Writes the text to `name` in the mail directory; the modified flag is clear after.
  void SaveCopy(const char* name);
  void ReportUnstorableText();

  ClientServices services_;
  bool closing_ = false;
};

}  // namespace pelldesk
