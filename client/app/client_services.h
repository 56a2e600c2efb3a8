// What documents, views and frames ask of the rest of the client, as small interfaces
// that the application implements and hands to every window it makes (ClientServices).
// A window reaches nothing else of the application, so a test can build a document or
// a view with stand-ins and no application at all. The folder operations answer back
// through the listeners of app/mailbox_listeners.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QFont;

namespace pelldesk {

class FolderEmptiness;

// The one road of every error message.
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  // Shows `format` with at most one "%s" filled from `text`, a blank line and the text
  // of `status` (0 for none), in a box of `style` (0 for the default); returns the
  // button chosen. Callable from any thread.
  virtual int ReportError(const char* format, const char* text, uint32_t status, unsigned style) = 0;
  // The same with nothing to fill in.
  int ReportErrorNoArg(const char* format, uint32_t status, unsigned style) {
    return ReportError(format, "<unknown>", status, style);
  }
};

// Whose mailbox this is and where its standard folders lie. Fixed once start-up has
// read the user's profile.
class UserMailbox {
 public:
  virtual ~UserMailbox() = default;
  virtual const std::string& userName() const = 0;
  virtual const std::string& fullName() const = 0;
  // The mail directory, ending in "/".
  virtual const std::string& mailDirectory() const = 0;
  // The folders "main", "new" and "deleted", each ending in "/".
  virtual std::string MainFolderPath() const = 0;
  virtual std::string NewFolderPath() const = 0;
  virtual std::string DeletedFolderPath() const = 0;
};

// The folder operations: the only road by which a window changes the mailbox. Paths
// are full paths; a folder's may end in "/" or not. With `askToContinue` an error box
// offers OK and Cancel and the button is the result, so that a caller working through
// many messages stops on Cancel (2); 0 is success. Each success is told to the open
// windows concerned before the call returns, which may close the caller's window.
class FolderOperations {
 public:
  virtual ~FolderOperations() = default;
  // Moves the message file into "deleted".
  virtual int DeleteMessage(const std::string& path, bool askToContinue) = 0;
  // Moves the message file into `folderName`, relative to the mail directory (empty:
  // "main"), making the folder first when `allowCreate`.
  virtual int MoveMessage(const std::string& path, const std::string& folderName, bool allowCreate,
                          bool askToContinue) = 0;
  // Removes an empty folder (and with the FolderDeletion setting the empty folders
  // above it, short of the standard ones).
  virtual int DeleteFolder(const std::string& path, bool askToContinue) = 0;
  // A message or folder window on `path` closed without the file or folder moving.
  virtual void NotifyMessageClosed(const std::string& path) = 0;
  virtual void NotifyFolderClosed(const std::string& path) = 0;
};

// The open windows, found by path (letter case ignored) and opened or brought to the
// front rather than opened twice.
class OpenWindows {
 public:
  virtual ~OpenWindows() = default;
  // A message window on `path`, or a new composition when `path` is null.
  virtual bool OpenMessageWindow(const char* path) = 0;
  virtual bool OpenFolderWindow(const std::string& path) = 0;
  virtual bool IsDocumentOpen(const std::string& path) const = 0;
  // The path of every open document that has one.
  virtual std::vector<std::string> OpenDocumentPaths() const = 0;
};

// Where a move goes, as the user chose it.
struct FolderChoice {
  std::string name;  // relative to the mail directory, never above it; not empty
  bool allowCreate = false;
};

class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // Asks the user for the destination folder of a move: false when the user cancelled
  // or confirmed no name, and `*choice` is then unchanged.
  virtual bool ChooseDestination(FolderChoice* choice) = 0;
};

// The settings, and the state of the run, that windows follow.
class WindowSettings {
 public:
  virtual ~WindowSettings() = default;
  // A folder window that closes on an empty folder of the user's own removes it.
  virtual bool folderDeletion() const = 0;
  // New folder windows show the column headings.
  virtual bool columnHeaders() const = 0;
  // The font the lists and messages are shown in; null: each view's own.
  virtual const QFont* displayFont() const = 0;
  // The end of the run has begun: the folder tree may close now.
  virtual bool exiting() const = 0;
};

// What a window is given when it is made. Every pointer is set, and each outlives the
// windows given it.
struct ClientServices {
  ErrorReporter* errors = nullptr;
  UserMailbox* mailbox = nullptr;
  FolderOperations* operations = nullptr;
  OpenWindows* windows = nullptr;
  FolderChooser* chooser = nullptr;
  WindowSettings* settings = nullptr;
  // The folder-is-empty answer that the enable rules share (app/folder_emptiness.h).
  FolderEmptiness* emptiness = nullptr;
};

}  // namespace pelldesk
