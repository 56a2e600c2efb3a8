// The setup toolkit's parts: dialog events by the sum of two characters, the script,
// directory names and creation, desktop entries, the scripted front end's answers,
// and the toolkit's script, copy and menu calls, each with its failures (fault
// injection for every file operation).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialog_event.h"
#include "directories.h"
#include "inf_script.h"
#include "menu_items.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"
#include "scripted_front_end.h"
#include "setup_sandbox.h"
#include "toolkit.h"

namespace {

namespace fs = std::filesystem;
using namespace setup;
using pellam::test::HasInOrder;
using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;
namespace fault = platform::fault;

TEST(DialogEvents, AreToldApartByTheSumOfTheFirstTwoCharacters) {
  struct Row {
    const char* value;
    DialogEvent want;
  };
  const Row rows[] = {
      {"CONTINUE", DialogEvent::kContinue}, {"BACK", DialogEvent::kBack}, {"CANCEL", DialogEvent::kCancel},
      {"EXIT", DialogEvent::kExit},         {"CO", DialogEvent::kContinue}, {"OC", DialogEvent::kContinue},
      {"EXTRA", DialogEvent::kExit},        {"", DialogEvent::kUnknown},   {"C", DialogEvent::kUnknown},
      {"continue", DialogEvent::kUnknown},  {"HELP", DialogEvent::kUnknown},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ParseDialogEvent(r.value), r.want) << "'" << r.value << "' gave " << EventName(ParseDialogEvent(r.value))
                                                 << ", wanted " << EventName(r.want);
  }
}

TEST(InfScript, ReadsSectionsAndRefusesWhatCouldLeaveTheDestination) {
  InfScript script;
  std::string error;
  ASSERT_TRUE(script.Parse("; comment\n# another\n[Files]\n  pellam  \r\nreadme = ../README.md\n\n"
                           "[system]\nlib.so = /abs/lib.so\n[FILES]\nsetup\n",
                           &error))
      << error;
  const InfSection* files = script.Find("files");
  ASSERT_NE(files, nullptr);
  ASSERT_EQ(files->files.size(), 3u) << "sections of one name are one section";
  EXPECT_EQ(files->files[0].name, "pellam");
  EXPECT_EQ(files->files[0].source, "pellam");
  EXPECT_EQ(files->files[1].name, "readme");
  EXPECT_EQ(files->files[1].source, "../README.md");
  EXPECT_EQ(files->files[2].name, "setup");
  ASSERT_NE(script.Find("System"), nullptr);
  EXPECT_EQ(script.Find("System")->files[0].source, "/abs/lib.so");
  EXPECT_EQ(script.Find("Other"), nullptr);

  struct Row {
    const char* text;
    const char* want;
  };
  const Row bad[] = {
      {"pellam\n", "line 1: a file is listed before any section"},
      {"[Files]\n[ ]\n", "line 2: a section name is written [name]"},
      {"[Files\n", "line 1: a section name is written [name]"},
      {"[Files]\n../pellam\n", "line 2: \"../pellam\" is not a plain file name"},
      {"[Files]\nbin/pellam\n", "line 2: \"bin/pellam\" is not a plain file name"},
      {"[Files]\n.. = pellam\n", "line 2: \"..\" is not a plain file name"},
      {"[Files]\n= pellam\n", "line 2: \"\" is not a plain file name"},
      {"[Files]\npellam =\n", "line 2: no source is given for \"pellam\""},
  };
  for (const Row& r : bad) {
    EXPECT_FALSE(script.Parse(r.text, &error)) << r.text;
    EXPECT_EQ(error, r.want) << r.text;
  }
}

TEST(InfScript, TheProjectsScriptListsWhatABuiltTreeInstalls) {
  // The copy beside the built programs, which is the one setup reads.
  const std::string bin = std::string(SETUP_BINARY_DIR) + "/";
  InfScript script;
  std::string error;
  ASSERT_TRUE(script.Parse(ReadTextFile(bin + "setup.inf"), &error)) << error;
  auto names = [&](const char* section) {
    std::vector<std::string> listed;
    if (const InfSection* s = script.Find(section)) {
      for (const InfFile& f : s->files) listed.push_back(f.name);
    }
    return listed;
  };
  EXPECT_EQ(names("Files"),
            (std::vector<std::string>{"pellam", "pelldesk", "pellpost", "pellreg", "setup", "pellreadme.txt"}));
  EXPECT_EQ(names("System"),
            (std::vector<std::string>{"libpellam.so.1", "libpellamplatform.so.1", "libpellamdecnet.so.1"}));
  // What this build always makes is where the script looks for it.
  for (const char* name : {"setup", "pellreadme.txt"}) EXPECT_TRUE(fs::exists(bin + name)) << name;
  for (const InfFile& f : script.Find("System")->files) EXPECT_TRUE(fs::exists(bin + f.source)) << f.source;
}

TEST(Directories, NamesAreAbsoluteAndUnambiguous) {
  struct Row {
    std::string path;
    bool valid;
  };
  const Row rows[] = {
      {"/opt/pellam", true},   {"/opt/pellam/", true}, {"/", true},           {"/a b/c", true},
      {"", false},             {"opt/pellam", false},  {"/opt//pellam", false}, {"/opt/./pellam", false},
      {"/opt/../etc", false},  {"/opt/..", false},     {"/opt/\npellam", false}, {"/opt/\x7fp", false},
      {"/" + std::string(253, 'a'), true},              {"/" + std::string(254, 'a'), false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ValidDirectoryName(r.path), r.valid) << "'" << r.path << "'";
  }
}

TEST(Directories, CreationMakesTheWholePathWithItsModes) {
  Sandbox box;
  fault::Scope faults;
  const mode_t old_mask = ::umask(077);
  const std::string queue = box.Path("var/spool/pellam/queue/");
  EXPECT_EQ(CreateDirectoryPath(queue, 01777), 0u);
  ::umask(old_mask);
  struct stat st {};
  ASSERT_EQ(::stat(queue.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 01777u) << "the mode is exact, whatever the umask";
  ASSERT_EQ(::stat(box.Path("var/spool").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);

  // An existing directory keeps its mode.
  ::chmod(queue.c_str(), 0700);
  EXPECT_EQ(CreateDirectoryPath(queue, 01777), 0u);
  ASSERT_EQ(::stat(queue.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);

  // A file where a directory must go: the reason, and the name that is in the way.
  WriteTextFile(box.Path("file"), "x");
  std::string blocker;
  EXPECT_EQ(CreateDirectoryPath(box.Path("file"), 0755, &blocker), ERROR_DIRECTORY);
  EXPECT_EQ(blocker, box.Path("file"));
  blocker.clear();
  EXPECT_EQ(CreateDirectoryPath(box.Path("file/sub/deeper"), 0755, &blocker), ERROR_DIRECTORY);
  EXPECT_EQ(blocker, box.Path("file"));
  fault::FailNth(fault::Op::CreateDir, 2, ERROR_DISK_FULL);
  EXPECT_EQ(CreateDirectoryPath(box.Path("a/b/c"), 0755), ERROR_DISK_FULL);
  EXPECT_TRUE(DirectoryExists(box.Path("a")));
  EXPECT_FALSE(DirectoryExists(box.Path("a/b")));
}

TEST(MenuItems, DesktopEntriesQuoteWhatTheDesktopWouldInterpret) {
  struct Row {
    std::string target;
    bool program;
    std::string exec;
  };
  const Row rows[] = {
      {"/opt/pellam/pelldesk", true, "Exec=/opt/pellam/pelldesk\n"},
      {"/opt/pellam/pellreadme.txt", false, "Exec=xdg-open /opt/pellam/pellreadme.txt\n"},
      {"/opt/my mail/pelldesk", true, "Exec=\"/opt/my mail/pelldesk\"\n"},
      {"/opt/100%/pelldesk", true, "Exec=/opt/100%%/pelldesk\n"},
      {"/opt/$x/pelldesk", true, "Exec=\"/opt/\\\\$x/pelldesk\"\n"},
      {"/opt/a\"b/pelldesk", true, "Exec=\"/opt/a\\\\\"b/pelldesk\"\n"},
      {"/opt/a\\b/pelldesk", true, "Exec=\"/opt/a\\\\\\\\b/pelldesk\"\n"},
  };
  for (const Row& r : rows) {
    const std::string text = DesktopEntryText("Pellam", r.target, r.program, "Utility");
    EXPECT_NE(text.find(r.exec), std::string::npos) << "got\n" << text << "wanted " << r.exec;
  }
  EXPECT_EQ(DesktopEntryText("Pellam\nReadMe", "/x", true, "Utility"),
            "[Desktop Entry]\nType=Application\nName=Pellam ReadMe\nExec=/x\nIcon=pellam\nTerminal=false\n"
            "Categories=Utility;\n");
  EXPECT_EQ(DesktopEntryText("Pellam", "/x", true, "Utility", "Read and\nwrite"),
            "[Desktop Entry]\nType=Application\nName=Pellam\nComment=Read and write\nExec=/x\nIcon=pellam\n"
            "Terminal=false\nCategories=Utility;\n");
  EXPECT_EQ(DesktopEntryFileName("Pellam ReadMe"), "pellam-readme.desktop");
  EXPECT_EQ(DesktopEntryFileName("Pellam"), "pellam.desktop");
  EXPECT_EQ(MenuCategory("Accessories"), "Utility");
  EXPECT_EQ(MenuCategory("Games"), "X-Games");
}

TEST(MenuItems, AreWrittenInsideTheSandboxAndAFailedWriteLeavesNoEntry) {
  Sandbox box;
  fault::Scope faults;
  if (::geteuid() == 0) {
    EXPECT_EQ(ApplicationsDirectory(), box.Path("usr/local/share/applications"));
  }
  const std::string dir = box.Path("apps");
  fs::create_directories(dir);
  WriteTextFile(box.Path("prog"), "#!/bin/sh\n");
  ::chmod(box.Path("prog").c_str(), 0755);
  ASSERT_EQ(WriteDesktopEntry(dir, "Accessories", "Pellam", box.Path("prog")), 0u);
  EXPECT_NE(ReadTextFile(dir + "/pellam.desktop").find("Exec=" + box.Path("prog") + "\n"), std::string::npos);
  for (fault::Op op : {fault::Op::Open, fault::Op::Write, fault::Op::Close}) {
    fault::Clear();
    fs::remove(dir + "/pellam-readme.desktop");
    fault::FailNth(op, 1, ERROR_DISK_FULL);
    EXPECT_EQ(WriteDesktopEntry(dir, "Accessories", "Pellam ReadMe", box.Path("readme")), ERROR_DISK_FULL);
    fault::Clear();
    EXPECT_FALSE(fs::exists(dir + "/pellam-readme.desktop")) << "operation " << static_cast<int>(op);
  }
}

TEST(ScriptedFrontEnd, RefusesAnswersItCannotRead) {
  struct Row {
    const char* answers;
    const char* want;
  };
  const Row rows[] = {
      {"CONTINUE\n", "line 1: an answer begins with the number of its dialog"},
      {"100\n", "line 1: the event is BACK, CANCEL, CONTINUE or EXIT"},
      {"# c\n\n100 continue\n", "line 3: the event is BACK, CANCEL, CONTINUE or EXIT"},
      {"100 CO\n", "line 1: the event is BACK, CANCEL, CONTINUE or EXIT"},
      {"100 CONTINUE\ncopy QUIT\n", "line 2: write copy QUIT <number of files>"},
      {"copy STOP 2\n", "line 1: write copy QUIT <number of files>"},
      {"-1 EXIT\n", "line 1: an answer begins with the number of its dialog"},
  };
  for (const Row& r : rows) {
    ScriptedFrontEnd front_end;
    std::string error;
    EXPECT_FALSE(front_end.Load(r.answers, &error)) << r.answers;
    EXPECT_EQ(error, r.want) << r.answers;
  }
}

TEST(ScriptedFrontEnd, AnswersInOrderAndTellsWhatItCannotAnswer) {
  ScriptedFrontEnd front_end;
  std::string error;
  ASSERT_TRUE(front_end.Load("500 CONTINUE\n500 CONTINUE \"\"\n500 BACK \"/a b\"\n300 EXIT /x\n", &error));
  Toolkit toolkit(front_end);
  toolkit.SetSymbol("EditTextIn", "/proposed");
  std::string out;
  for (const char* want : {"/proposed", "", "/a b"}) {
    ASSERT_TRUE(toolkit.DoDialog(500, DialogProc::kEdit, 900));
    ASSERT_TRUE(toolkit.GetSymbol("EditTextOut", &out, 254));
    EXPECT_EQ(out, want);
  }
  ASSERT_TRUE(toolkit.GetSymbol("DLGEVENT", &out, 254));
  EXPECT_EQ(out, "BACK");
  // A dialog with one button that the next line does not name continues by itself.
  ASSERT_TRUE(toolkit.DoDialog(6400, DialogProc::kInfo0));
  ASSERT_TRUE(toolkit.GetSymbol("DLGEVENT", &out, 254));
  EXPECT_EQ(out, "CONTINUE");
  EXPECT_FALSE(toolkit.DoDialog(100, DialogProc::kInfo, 900)) << "the next line is for 300";
  ASSERT_TRUE(toolkit.DoDialog(300, DialogProc::kEdit, 900));
  EXPECT_FALSE(toolkit.DoDialog(100, DialogProc::kInfo, 900)) << "no line is left";
  EXPECT_FALSE(toolkit.DoDialog(1234, DialogProc::kInfo)) << "no such template";
  EXPECT_TRUE(HasInOrder(front_end.transcript(),
                         {"dialog 500 \"/proposed\" CONTINUE \"/proposed\"", "dialog 500 \"/proposed\" CONTINUE \"\"",
                          "dialog 500 \"/proposed\" BACK \"/a b\"", "dialog 6400 CONTINUE",
                          "error dialog 100 is shown, but the answer of line 4 is for dialog 300",
                          "dialog 300 \"/proposed\" EXIT \"/x\"", "error no answer is left for dialog 100"}))
      << front_end.transcript();
  // A symbol longer than the caller's buffer is refused.
  toolkit.SetSymbol("EditTextOut", std::string(255, 'a'));
  EXPECT_FALSE(toolkit.GetSymbol("EditTextOut", &out, 254));
}

class ToolkitFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    pellam::test::AddInstallingUser(box_);
    src_ = box_.Path("src/");
    dst_ = box_.Path("dst/");
    fs::create_directories(src_);
    fs::create_directories(dst_);
    WriteTextFile(src_ + "one", "one\n");
    WriteTextFile(src_ + "two", "two\n");
    WriteTextFile(box_.Path("lib/libx.so.1"), "lib\n");
    WriteTextFile(src_ + "setup.inf", "[Files]\none\ntwo\n[System]\nlibx.so.1 = ../lib/libx.so.1\n");
  }
  std::vector<std::string> Messages() const {
    return pellam::test::LinesStartingWith(front_end_.transcript(), "message ");
  }

  Sandbox box_;
  fault::Scope faults_;
  ScriptedFrontEnd front_end_;
  Toolkit toolkit_{front_end_};
  std::string src_, dst_;
};

TEST_F(ToolkitFiles, CopiesBothSectionsAndReplacesWhatIsThere) {
  ASSERT_TRUE(toolkit_.OpenInf(src_ + "setup.inf"));
  WriteTextFile(dst_ + "one", "an older one\n");
  ASSERT_TRUE(toolkit_.AddSectionFilesToCopyList("Files", src_, dst_));
  ASSERT_TRUE(toolkit_.AddSectionFilesToCopyList("System", src_, dst_));
  toolkit_.SetGaugePosition(155, 130);
  EXPECT_EQ(toolkit_.CopyFilesInCopyList(), kCopyDone);
  EXPECT_EQ(ReadTextFile(dst_ + "one"), "one\n");
  EXPECT_EQ(ReadTextFile(dst_ + "two"), "two\n");
  EXPECT_EQ(ReadTextFile(dst_ + "libx.so.1"), "lib\n");
  EXPECT_TRUE(HasInOrder(front_end_.transcript(), {"copy 3 files, gauge at 155,130"})) << front_end_.transcript();
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(toolkit_.AddSectionFilesToCopyList("Other", src_, dst_));
  EXPECT_EQ(Messages(), std::vector<std::string>{"message stop Setup Error: The script has no section [Other]."});
}

TEST_F(ToolkitFiles, TheUserMayQuitTheCopy) {
  std::string error;
  ASSERT_TRUE(front_end_.Load("copy QUIT 1\n", &error));
  ASSERT_TRUE(toolkit_.OpenInf(src_ + "setup.inf"));
  ASSERT_TRUE(toolkit_.AddSectionFilesToCopyList("Files", src_, dst_));
  EXPECT_EQ(toolkit_.CopyFilesInCopyList(), kCopyUserQuit);
  EXPECT_TRUE(fs::exists(dst_ + "one"));
  EXPECT_FALSE(fs::exists(dst_ + "two"));
}

TEST_F(ToolkitFiles, ACopyFailureIsToldAndStopsTheCopy) {
  ASSERT_TRUE(toolkit_.OpenInf(src_ + "setup.inf"));
  ASSERT_TRUE(toolkit_.AddSectionFilesToCopyList("Files", src_, dst_));
  fs::remove(src_ + "one");
  EXPECT_EQ(toolkit_.CopyFilesInCopyList(), kCopyFailed);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], "message stop Setup Error: Setup cannot copy " + src_ + "one to " + dst_ +
                               "one. The system cannot find the file specified.");
  EXPECT_FALSE(fs::exists(dst_ + "two")) << "nothing is copied after a failure";

  WriteTextFile(src_ + "one", "one\n");
  fault::FailNth(fault::Op::Copy, 2, ERROR_DISK_FULL);
  EXPECT_EQ(toolkit_.CopyFilesInCopyList(), kCopyFailed);
  EXPECT_TRUE(fs::exists(dst_ + "one"));
  EXPECT_FALSE(fs::exists(dst_ + "two"));
}

TEST_F(ToolkitFiles, AScriptThatCannotBeReadIsTold) {
  EXPECT_FALSE(toolkit_.OpenInf(src_ + "missing.inf"));
  fault::FailNth(fault::Op::Read, 1, ERROR_IO_DEVICE);
  EXPECT_FALSE(toolkit_.OpenInf(src_ + "setup.inf"));
  fault::Clear();
  WriteTextFile(src_ + "bad.inf", "one\n");
  EXPECT_FALSE(toolkit_.OpenInf(src_ + "bad.inf"));
  EXPECT_FALSE(toolkit_.AddSectionFilesToCopyList("Files", src_, dst_)) << "no script is open";
  const std::vector<std::string> want = {
      "message stop Setup Error: Setup cannot read its script " + src_ +
          "missing.inf. The system cannot find the file specified.",
      "message stop Setup Error: Setup cannot read its script " + src_ +
          "setup.inf. The request could not be performed because of an I/O device error.",
      "message stop Setup Error: The script " + src_ + "bad.inf is not valid: line 1: a file is listed before any "
                                                        "section.",
  };
  EXPECT_EQ(Messages(), want);
}

TEST_F(ToolkitFiles, DirectoryAndMenuFailuresAreTold) {
  fault::FailNth(fault::Op::CreateDir, 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(toolkit_.CreateDir(box_.Path("new/dir"), 0755));
  fault::Clear();
  WriteTextFile(box_.Path("plain"), "x");
  EXPECT_FALSE(toolkit_.CreateDir(box_.Path("plain/pellam"), 0755));
  EXPECT_FALSE(toolkit_.CreateMenuItem("Accessories", "Pellam", "/x")) << "the group was not shown";
  ASSERT_TRUE(toolkit_.ShowMenuGroup("Accessories"));
  fault::FailNth(fault::Op::Write, 1, ERROR_DISK_FULL);
  EXPECT_FALSE(toolkit_.CreateMenuItem("Accessories", "Pellam", "/x"));
  fault::Clear();
  EXPECT_TRUE(toolkit_.CreateMenuItem("Accessories", "Pellam", "/x"));
  const std::vector<std::string> want = {
      "message stop Setup Error: Setup cannot create the directory " + box_.Path("new/dir") +
          ". Access is denied.",
      "message stop Setup Error: Setup cannot create the directory " + box_.Path("plain/pellam") + ": " +
          box_.Path("plain") + " is not a directory. The directory name is invalid.",
      "message stop Setup Error: Setup cannot create the menu item Pellam. There is not enough space on the disk.",
  };
  EXPECT_EQ(Messages(), want);
}

}  // namespace
