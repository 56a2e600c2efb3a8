// Identifiers of the client's own resources and commands. Menus, accelerators, the
// tool bar, the status bar and every window speak of them by these numbers.
#pragma once

namespace pelldesk {

// The main frame's menu, icon, accelerators and caption; and the templates.
inline constexpr int kMainFrameId = 128;
inline constexpr int kMessageTemplateId = 129;
inline constexpr int kFolderTemplateId = 130;
inline constexpr int kTreeTemplateId = 131;
inline constexpr int kInternalMenuId = 134;  // holds New Mail and Font Change; never shown

// Pictures and sounds (":/icons/<id>.png", ":/bitmaps/<id>.png", ":/sounds/<id>.wav").
inline constexpr int kOutgoingMessageIcon = 132;
inline constexpr int kNewMailIcon = 133;
inline constexpr int kToolBarBitmap = 128;
inline constexpr int kSplashBitmap = 135;
inline constexpr int kNewMailSound = 102;

// The client's own commands.
inline constexpr int kCmdNewMessage = 32775;
inline constexpr int kCmdMove = 32776;
inline constexpr int kCmdDelete = 32777;
inline constexpr int kCmdForward = 32778;
inline constexpr int kCmdReply = 32779;
inline constexpr int kCmdPost = 32780;
inline constexpr int kCmdCancel = 32781;
inline constexpr int kCmdClose = 32782;
inline constexpr int kCmdCopy = 32783;
inline constexpr int kCmdPurgeDeleted = 32784;
inline constexpr int kCmdRefresh = 32785;
inline constexpr int kCmdFont = 32786;
inline constexpr int kCmdSettings = 32787;
inline constexpr int kCmdNewMail = 32788;
inline constexpr int kCmdFontChange = 32789;
inline constexpr int kCmdDeleteFolder = 32790;
inline constexpr int kCmdDeleteContents = 32791;
inline constexpr int kCmdMoveContents = 32792;
inline constexpr int kCmdColumnHeadings = 32794;

// Status-bar panes of the client.
inline constexpr int kPaneMode = 59142;
inline constexpr int kPaneModified = 59143;
inline constexpr int kPaneNewMail = 59144;

// Texts of the client itself.
inline constexpr char kAppName[] = "Pelldesk";       // string 57344: captions message boxes
inline constexpr char kMainCaption[] = "Pellam";     // string 128
inline constexpr char kRegistryKey[] = "Corwent";
inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kBarStatePrefix[] = "MainWnd";

}  // namespace pelldesk
