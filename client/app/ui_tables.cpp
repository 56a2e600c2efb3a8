// The tables themselves. Commands that no window handles yet stand in the menus all the
// same: the router shows them disabled until their windows exist.
#include "app/ui_tables.h"

#include "app/resource_ids.h"
#include "framework/commands.h"

namespace pelldesk {
namespace {

using fw::Popup;

fw::UiResources Build() {
  fw::UiResources r;
  r.commands = {
      // The client's own commands.
      {kCmdNewMessage, "&New...\tCtrl+N", "Create and send new mail message\nNew"},
      {kCmdMove, "&Move...\tF7", "Move this message to a different folder\nMove"},
      {kCmdDelete, "&Delete\tAlt+Del", "Delete this mail message\nDelete"},
      {kCmdForward, "&Forward...\tCtrl+F", "Forward this mail message to others\nForward"},
      {kCmdReply, "&Reply...\tCtrl+R", "Reply to this mail message\nReply"},
      {kCmdPost, "&Post\tF12", "Post the completed mail message\nPost"},
      {kCmdCancel, "C&ancel\tShift+F12", "Discard the mail message in progress\nCancel"},
      {kCmdClose, "Close\tF4", "Close the current mail message\nClose"},
      {kCmdCopy, "&Copy...\tF8", "Copy this mail message to another folder\nCopy"},
      {kCmdPurgeDeleted, "&Purge Deleted", "Purge all messages from 'deleted' folder\nPurge"},
      {kCmdRefresh, "&Refresh\tF5", "Refresh display\nRefresh"},
      {kCmdFont, "&Font...", "Choose the font for mail and directory displays\nFont"},
      {kCmdSettings, "&Settings...", "Set preferences and configure Pellam parameters\nSettings"},
      {kCmdNewMail, "New Mail", nullptr},
      {kCmdFontChange, "Font Change", nullptr},
      {kCmdDeleteFolder, "Delete &Folder", "Delete this mail folder\nDelete Folder"},
      {kCmdDeleteContents, "&Delete Contents", "Delete all messages in this folder\nDelete All"},
      {kCmdMoveContents, "&Move Contents...", "Move all messages from this folder\nMove All"},
      {kCmdColumnHeadings, "&Column Headings", "Show or hide the column header bar\nToggle Headings"},
      // The framework's commands.
      {fw::kFileOpen, "&Open...\tCtrl+O", "Open a stored mail message\nOpen"},
      {fw::kFileSave, "&Save\tCtrl+S", "Save the active message\nSave"},
      {fw::kFileSaveAs, "Save &As...", "Save the active message under a new name\nSave As"},
      {fw::kFilePrint, "&Print...\tCtrl+P", "Print the active window\nPrint"},
      {fw::kFilePrintPreview, "Print Pre&view", "Show how the active window will print\nPreview"},
      {fw::kFilePrintSetup, "P&rint Setup...", "Choose the printer and its options\nPrint Setup"},
      {fw::kAppExit, "E&xit", "Leave Pellam, asking to save changed messages\nExit"},
      {fw::kEditUndo, "&Undo\tCtrl+Z", "Undo the last change\nUndo"},
      {fw::kEditCut, "Cu&t\tCtrl+X", "Cut the selection to the clipboard\nCut"},
      {fw::kEditCopy, "&Copy\tCtrl+C", "Copy the selection to the clipboard\nCopy"},
      {fw::kEditPaste, "&Paste\tCtrl+V", "Insert the clipboard's contents\nPaste"},
      {fw::kEditClear, "De&lete\tDel", "Delete the selection\nDelete"},
      {fw::kEditSelectAll, "Select &All", "Select the whole text\nSelect All"},
      {fw::kEditFind, "&Find...", "Find a text\nFind"},
      {fw::kEditRepeat, "Find &Next\tF3", "Find the same text again\nFind Next"},
      {fw::kEditReplace, "R&eplace...", "Replace a text with another\nReplace"},
      {fw::kToolBarId, "&Toolbar", "Show or hide the tool bar\nToggle Toolbar"},
      {fw::kStatusBarId, "&Status Bar", "Show or hide the status bar\nToggle Status Bar"},
      {fw::kWindowCascade, "&Cascade", "Arrange the windows so that they overlap\nCascade"},
      {fw::kWindowTileHorizontal, "Tile &Horizontally",
       "Arrange the windows one above the other\nTile Horizontally"},
      {fw::kWindowTileVertical, "Tile &Vertically",
       "Arrange the windows side by side\nTile Vertically"},
      {fw::kWindowArrange, "&Arrange Icons", "Line up the minimised windows\nArrange Icons"},
      {fw::kAppAbout, "&About Pellam...", "Show the program's version\nAbout"},
      {fw::kNextPane, "Next Pane", "Go to the next pane of the window\nNext Pane"},
      {fw::kPreviousPane, "Previous Pane", "Go back to the previous pane\nPrevious Pane"},
  };

  r.accelerators = {
      {"Ctrl+C", fw::kEditCopy},          {"Ctrl+F", kCmdForward},
      {"Ctrl+N", kCmdNewMessage},         {"Ctrl+O", fw::kFileOpen},
      {"Ctrl+P", fw::kFilePrint},         {"Ctrl+R", kCmdReply},
      {"Ctrl+S", fw::kFileSave},          {"Ctrl+V", fw::kEditPaste},
      {"Ctrl+X", fw::kEditCut},           {"Ctrl+Z", fw::kEditUndo},
      {"Alt+Del", kCmdDelete},            {"F12", kCmdPost},
      {"Shift+F12", kCmdCancel},          {"F3", fw::kEditRepeat},
      {"F4", kCmdClose},                  {"F5", kCmdRefresh},
      {"F6", fw::kNextPane},              {"Shift+F6", fw::kPreviousPane},
      {"F7", kCmdMove},                   {"F8", kCmdCopy},
  };

  const Popup view_bars{"&View", {fw::kToolBarId, fw::kStatusBarId}};
  const Popup tools{"&Tools", {kCmdSettings, kCmdFont}};
  const Popup window{"&Window",
                     {fw::kWindowCascade, fw::kWindowTileHorizontal, fw::kWindowTileVertical,
                      fw::kWindowArrange},
                     true};
  const Popup help{"&Help", {fw::kAppAbout}};
  const Popup print_file{"&File",
                         {fw::kFilePrint, fw::kFilePrintPreview, fw::kFilePrintSetup, 0,
                          fw::kAppExit}};

  r.menus = {
      {kMainFrameId,
       {{"&File", {fw::kFilePrintSetup, 0, fw::kAppExit}},
        {"&Message", {kCmdNewMessage}},
        view_bars,
        tools,
        help}},
      {kMessageTemplateId,
       {{"&File",
         {fw::kFileSave, fw::kFileSaveAs, 0, fw::kFilePrint, fw::kFilePrintPreview,
          fw::kFilePrintSetup, 0, fw::kAppExit}},
        {"&Message",
         {kCmdNewMessage, kCmdForward, kCmdReply, 0, kCmdPost, kCmdCancel, 0, kCmdMove, kCmdCopy,
          kCmdDelete, 0, kCmdClose}},
        {"&Edit",
         {fw::kEditUndo, 0, fw::kEditCut, fw::kEditCopy, fw::kEditPaste, fw::kEditClear, 0,
          fw::kEditSelectAll}},
        {"&Search", {fw::kEditFind, fw::kEditRepeat, fw::kEditReplace}},
        view_bars,
        tools,
        window,
        help}},
      {kFolderTemplateId,
       {print_file,
        {"&Message", {kCmdNewMessage, 0, kCmdMove, kCmdCopy, kCmdDelete}},
        {"F&older",
         {kCmdDeleteContents, kCmdMoveContents, 0, kCmdDeleteFolder, kCmdPurgeDeleted, 0,
          kCmdRefresh}},
        {"&Search", {fw::kEditFind, fw::kEditRepeat}},
        {"&View", {fw::kToolBarId, fw::kStatusBarId, 0, kCmdColumnHeadings}},
        tools,
        window,
        help}},
      {kTreeTemplateId,
       {print_file,
        {"&Message", {kCmdNewMessage}},
        {"F&older", {kCmdDeleteFolder, kCmdPurgeDeleted, 0, kCmdRefresh}},
        view_bars,
        tools,
        window,
        help}},
      {kInternalMenuId, {{"Internal", {kCmdNewMail, kCmdFontChange}}}},
  };
  return r;
}

}  // namespace

const fw::UiResources& ClientUiResources() {
  static const fw::UiResources resources = Build();
  return resources;
}

}  // namespace pelldesk
