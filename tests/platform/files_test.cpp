// Files with share modes: conflicts within and between processes, moves that never
// replace, copies that never leave half a target, the 2/3 split, and a failure by
// fault injection for every operation.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "../../platform/src/files_detail.h"
#include "needs_root.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"

namespace {

using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::WriteTextFile;
using namespace platform;

// The code an open reports: 0 when it succeeded (the file is closed again).
uint32_t OpenCode(const std::string& path, unsigned access, unsigned share, unsigned disposition) {
  int fd = CreateFile(path.c_str(), access, share, disposition);
  if (fd == kInvalidFile) return GetLastError();
  CloseFile(fd);
  return 0;
}

int OpenDescriptors() {
  int n = 0;
  DIR* d = ::opendir("/proc/self/fd");
  while (d != nullptr && ::readdir(d) != nullptr) ++n;
  if (d != nullptr) ::closedir(d);
  return n;
}

// A child process that holds `path` open with `share` until Release.
class HeldByChild {
 public:
  HeldByChild(const std::string& path, unsigned share) {
    int ready[2], release[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(release), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);  // so that the parent's close is seen as the end of the pipe
      int fd = CreateFile(path.c_str(), kReadWrite, share, kOpenAlways);
      uint32_t code = fd == kInvalidFile ? GetLastError() : 0;
      char c;
      if (::write(ready[1], &code, sizeof code) != sizeof code || ::read(release[0], &c, 1) < 0) ::_exit(1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    EXPECT_EQ(::read(ready[0], &open_code_, sizeof open_code_), ssize_t{sizeof open_code_});
    ::close(ready[0]);
  }
  ~HeldByChild() {
    ::close(release_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  uint32_t open_code() const { return open_code_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  uint32_t open_code_ = 99;
};

TEST(Files, ShareModesConflictBetweenProcesses) {
  Sandbox box;
  const std::string path = box.Path("#serial.dat");
  {
    HeldByChild child(path, kShareNone);
    ASSERT_EQ(child.open_code(), 0u);
    EXPECT_EQ(OpenCode(path, kReadWrite, kShareNone, kOpenAlways), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenCode(path, kRead, kShareRead | kShareWrite, kOpenExisting), ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(OpenCode(path, kReadWrite, kShareNone, kOpenAlways), 0u) << "released with the child";

  UniqueFile mine(CreateFile(path.c_str(), kReadWrite, kShareNone, kOpenExisting));
  ASSERT_TRUE(mine);
  EXPECT_EQ(HeldByChild(path, kShareNone).open_code(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(HeldByChild(path, kShareRead).open_code(), ERROR_SHARING_VIOLATION);
  mine.reset();
  HeldByChild reader(path, kShareRead);
  EXPECT_EQ(reader.open_code(), 0u);
  EXPECT_EQ(OpenCode(path, kRead, kShareRead, kOpenExisting), 0u) << "two shared opens";
}

TEST(Files, ShareModesConflictWithinOneProcess) {
  Sandbox box;
  const std::string path = box.Path("f");
  WriteTextFile(path, "12\r\n");
  {
    UniqueFile shared(CreateFile(path.c_str(), kRead, kShareRead | kShareWrite, kOpenExisting));
    ASSERT_TRUE(shared);
    EXPECT_EQ(OpenCode(path, kReadWrite, kShareNone, kOpenExisting), ERROR_SHARING_VIOLATION);
  }
  UniqueFile exclusive(CreateFile(path.c_str(), kReadWrite, kShareNone, kOpenExisting));
  ASSERT_TRUE(exclusive);
  EXPECT_EQ(OpenCode(path, kRead, kShareRead, kOpenExisting), ERROR_SHARING_VIOLATION);
  // A truncating open that meets the lock leaves the holder's content alone.
  EXPECT_EQ(OpenCode(path, kWrite, kShareRead, kCreateAlways), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ReadTextFile(path), "12\r\n");
  EXPECT_NE(::fcntl(exclusive.get(), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(Files, DispositionsAndRefusals) {
  Sandbox box;
  const std::string file = box.Path("file"), dir = box.Path("dir");
  WriteTextFile(file, "old");
  std::filesystem::create_directory(dir);
  std::filesystem::create_symlink(file, box.Path("link"));
  struct Row {
    std::string path;
    unsigned access, disposition;
    uint32_t want;
  } rows[] = {
      {file, kRead, kCreateNew, ERROR_FILE_EXISTS},
      {box.Path("missing"), kRead, kOpenExisting, ERROR_FILE_NOT_FOUND},
      {box.Path("nodir/missing"), kRead, kOpenExisting, ERROR_PATH_NOT_FOUND},
      {box.Path("nodir/new"), kWrite, kCreateAlways, ERROR_PATH_NOT_FOUND},
      {box.Path("missing"), kWrite, kTruncateExisting, ERROR_FILE_NOT_FOUND},
      {dir, kRead, kOpenExisting, ERROR_ACCESS_DENIED},
      {dir, kReadWrite, kOpenAlways, ERROR_ACCESS_DENIED},
      {box.Path("link"), kWrite, kOpenExisting, ERROR_ACCESS_DENIED},
      {box.Path("link"), kRead, kOpenExisting, 0},  // reading follows a link
      {file, kRead, kTruncateExisting, ERROR_INVALID_PARAMETER},
      {file, 0, kOpenExisting, ERROR_INVALID_PARAMETER},
      {file, kRead, 9, ERROR_INVALID_PARAMETER},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(OpenCode(r.path, r.access, kShareRead, r.disposition), r.want)
        << r.path << " access " << r.access << " disposition " << r.disposition;
  }
  EXPECT_EQ(ReadTextFile(file), "old");
  EXPECT_EQ(OpenCode(file, kWrite, kShareNone, kCreateAlways), 0u);
  EXPECT_EQ(ReadTextFile(file), "") << "kCreateAlways truncates";
  EXPECT_EQ(OpenCode(box.Path("new"), kWrite, kShareNone, kOpenAlways), 0u);
  EXPECT_TRUE(std::filesystem::exists(box.Path("new")));
}

TEST(Files, ReadWriteSeekAndSize) {
  Sandbox box;
  UniqueFile f(CreateFile(box.Path("f").c_str(), kReadWrite, kShareNone, kCreateNew));
  ASSERT_TRUE(f);
  uint32_t done = 0;
  ASSERT_TRUE(WriteFile(f.get(), "hello world", 11, &done));
  EXPECT_EQ(done, 11u);
  int64_t at = -1;
  ASSERT_TRUE(SetFilePointer(f.get(), -5, kEnd, &at));
  EXPECT_EQ(at, 6);
  ASSERT_TRUE(SetEndOfFile(f.get()));
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(f.get(), &size));
  EXPECT_EQ(size, 6u);
  ASSERT_TRUE(SetFilePointer(f.get(), 0, kBegin));
  char buf[32] = {};
  ASSERT_TRUE(ReadFile(f.get(), buf, sizeof buf, &done));
  EXPECT_EQ(std::string(buf, done), "hello ");
  ASSERT_TRUE(ReadFile(f.get(), buf, sizeof buf, &done));
  EXPECT_EQ(done, 0u) << "end of file";
  EXPECT_FALSE(SetFilePointer(f.get(), -1, kBegin));
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_FALSE(SetFilePointer(f.get(), 0, 7));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(FlushFile(f.get()));
  EXPECT_TRUE(FlushDirectory(box.root().c_str()));

  UniqueFile full(CreateFile("/dev/full", kWrite, kShareRead, kOpenExisting));
  ASSERT_TRUE(full);
  EXPECT_FALSE(WriteFile(full.get(), "x", 1));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_FALSE(CloseFile(kInvalidFile));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Files, MoveNeverReplacesAndTellsTheCases) {
  Sandbox box;
  WriteTextFile(box.Path("a"), "A");
  WriteTextFile(box.Path("b"), "B");
  EXPECT_FALSE(MoveFile(box.Path("a").c_str(), box.Path("b").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadTextFile(box.Path("a")), "A");
  EXPECT_EQ(ReadTextFile(box.Path("b")), "B");
  struct Row {
    std::string from, to;
    uint32_t want;
  } rows[] = {
      {box.Path("missing"), box.Path("c"), ERROR_FILE_NOT_FOUND},
      {box.Path("nodir/x"), box.Path("c"), ERROR_PATH_NOT_FOUND},
      {box.Path("a"), box.Path("nodir/c"), ERROR_PATH_NOT_FOUND},
  };
  for (const Row& r : rows) {
    EXPECT_FALSE(MoveFile(r.from.c_str(), r.to.c_str())) << r.from << " -> " << r.to;
    EXPECT_EQ(GetLastError(), r.want) << r.from << " -> " << r.to;
  }
  ASSERT_TRUE(MoveFile(box.Path("a").c_str(), box.Path("c").c_str()));
  EXPECT_EQ(ReadTextFile(box.Path("c")), "A");
  EXPECT_FALSE(std::filesystem::exists(box.Path("a")));
  std::filesystem::create_directories(box.Path("d1/sub"));
  ASSERT_TRUE(MoveFile(box.Path("d1").c_str(), box.Path("d2").c_str())) << "directories move";
  EXPECT_TRUE(std::filesystem::is_directory(box.Path("d2/sub")));
}

TEST(Files, MoveByLinkKeepsTheSameRules) {
  Sandbox box;
  WriteTextFile(box.Path("a"), "A");
  WriteTextFile(box.Path("b"), "B");
  std::filesystem::create_directories(box.Path("d1"));
  EXPECT_FALSE(detail::MoveByLink(box.Path("a").c_str(), box.Path("b").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(detail::MoveByLink(box.Path("d1").c_str(), box.Path("b").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(detail::MoveByLink(box.Path("a").c_str(), box.Path("nodir/a").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ReadTextFile(box.Path("a")) + ReadTextFile(box.Path("b")), "AB");
  ASSERT_TRUE(detail::MoveByLink(box.Path("a").c_str(), box.Path("c").c_str()));
  EXPECT_FALSE(std::filesystem::exists(box.Path("a")));
  EXPECT_EQ(ReadTextFile(box.Path("c")), "A");
  ASSERT_TRUE(detail::MoveByLink(box.Path("d1").c_str(), box.Path("d2").c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(box.Path("d2")));
}

TEST(Files, MoveAcrossFilesystemsIsNotSameDevice) {
  Sandbox box;
  WriteTextFile(box.Path("a"), "A");
  fault::Scope scope;
  fault::FailNth(fault::Op::Move, 1, ERROR_NOT_SAME_DEVICE);
  EXPECT_FALSE(MoveFile(box.Path("a").c_str(), box.Path("b").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);

  struct stat here{}, shm{};
  if (::stat(box.root().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "/dev/shm is not a filesystem of its own here";
  }
  const std::string away = "/dev/shm/pellam-move-" + std::to_string(::getpid());
  EXPECT_FALSE(MoveFile(box.Path("a").c_str(), away.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
  EXPECT_EQ(ReadTextFile(box.Path("a")), "A");
  ::unlink(away.c_str());
}

TEST(Files, CopyCreatesExclusivelyOrReplacesWhole) {
  Sandbox box;
  const std::string a = box.Path("a"), b = box.Path("b"), c = box.Path("c");
  WriteTextFile(a, std::string(200000, 'a'));
  ::chmod(a.c_str(), 0640);
  WriteTextFile(b, "B");
  EXPECT_FALSE(CopyFile(a.c_str(), b.c_str(), true));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadTextFile(b), "B");
  ASSERT_TRUE(CopyFile(a.c_str(), c.c_str(), true));
  EXPECT_EQ(ReadTextFile(c), ReadTextFile(a));
  struct stat st{};
  ASSERT_EQ(::stat(c.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_TRUE(CopyFile(a.c_str(), b.c_str(), false));
  EXPECT_EQ(ReadTextFile(b), ReadTextFile(a));
  EXPECT_FALSE(CopyFile(box.Path("missing").c_str(), box.Path("d").c_str(), true));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFile(a.c_str(), box.Path("nodir/d").c_str(), true));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(CopyFile(box.root().c_str(), box.Path("d").c_str(), true));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << "a directory is not copied";
}

TEST(Files, AFailedCopyLeavesNoTarget) {
  Sandbox box;
  const std::string a = box.Path("a"), b = box.Path("b");
  WriteTextFile(a, std::string(200000, 'a'));
  WriteTextFile(b, "B");
  struct Row {
    fault::Op op;
    unsigned nth;
    const char* what;
  } rows[] = {{fault::Op::Write, 2, "second write"}, {fault::Op::Read, 1, "first read"},
              {fault::Op::Flush, 1, "flush"},         {fault::Op::Open, 2, "target open"}};
  for (const Row& r : rows) {
    for (bool exclusive : {true, false}) {
      fault::Scope scope;
      fault::FailNth(r.op, r.nth, ERROR_IO_DEVICE);
      const std::string target = exclusive ? box.Path("c") : b;
      EXPECT_FALSE(CopyFile(a.c_str(), target.c_str(), exclusive)) << r.what;
      EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE) << r.what;
      int entries = 0;
      for (const auto& e : std::filesystem::directory_iterator(box.root())) entries += e.path() != box.Path("etc");
      EXPECT_EQ(entries, 2) << r.what << ": only a and b remain, exclusive " << exclusive;
      EXPECT_EQ(ReadTextFile(b), "B") << r.what << ": the target to replace is kept";
    }
  }
}

TEST(Files, DirectoriesAttributesAndDeletes) {
  Sandbox box;
  const std::string dir = box.Path("new/");
  ASSERT_TRUE(CreateDirectory(dir.c_str()));
  EXPECT_FALSE(CreateDirectory(dir.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectory(box.Path("a/b/c").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  WriteTextFile(box.Path("new/msg0001.mai"), "x");
  EXPECT_EQ(GetFileAttributes(dir.c_str()), kAttrDirectory);
  EXPECT_EQ(GetFileAttributes(box.Path("new/msg0001.mai").c_str()), kAttrNormal);
  EXPECT_FALSE(RemoveDirectory(dir.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(DeleteFile(dir.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  struct Row {
    std::string path;
    uint32_t want;
  } missing[] = {{box.Path("new/msg0002.mai"), ERROR_FILE_NOT_FOUND},
                 {box.Path("old/msg0002.mai"), ERROR_PATH_NOT_FOUND}};
  for (const Row& r : missing) {
    EXPECT_FALSE(DeleteFile(r.path.c_str())) << r.path;
    EXPECT_EQ(GetLastError(), r.want) << "delete " << r.path;
    EXPECT_EQ(GetFileAttributes(r.path.c_str()), kInvalidAttributes) << r.path;
    EXPECT_EQ(GetLastError(), r.want) << "attributes of " << r.path;
  }
  ASSERT_TRUE(DeleteFile(box.Path("new/msg0001.mai").c_str()));
  ASSERT_TRUE(RemoveDirectory(dir.c_str()));
  EXPECT_FALSE(RemoveDirectory(dir.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Files, AnotherUsersFilesAreDenied) {
  PELLAM_NEEDS_ROOT("acts as another account");
  Sandbox box;
  ::chmod(box.root().c_str(), 0755);
  const std::string file = box.Path("private");
  WriteTextFile(file, "x");
  ::chmod(file.c_str(), 0600);
  int rc = pellam::test::RunAsUser(65534, 65534, [&] {
    if (OpenCode(file, kRead, kShareRead, kOpenExisting) != ERROR_ACCESS_DENIED) return 1;
    if (OpenCode(box.Path("new"), kWrite, kShareNone, kCreateNew) != ERROR_ACCESS_DENIED) return 2;
    if (DeleteFile(file.c_str()) || GetLastError() != ERROR_ACCESS_DENIED) return 3;
    if (CreateDirectory(box.Path("d").c_str()) || GetLastError() != ERROR_ACCESS_DENIED) return 4;
    return 0;
  });
  EXPECT_EQ(rc, 0) << "the first refusal that went wrong";
}

// A fresh file "a" (open for reading and writing) and an empty directory "dir".
struct World {
  Sandbox box;
  std::string a = box.Path("a"), dir = box.Path("dir");
  UniqueFile file;
  World() {
    WriteTextFile(a, "A");
    std::filesystem::create_directory(dir);
    file.reset(CreateFile(a.c_str(), kReadWrite, kShareRead, kOpenExisting));
  }
};

bool Opens(const std::string& path, unsigned access, unsigned disposition) {
  int fd = CreateFile(path.c_str(), access, kShareRead, disposition);
  if (fd != kInvalidFile) ::close(fd);
  return fd != kInvalidFile;
}

TEST(Files, EveryOperationFailsCleanlyByFaultInjection) {
  using W = World;
  char buf[4];
  uint32_t done = 7;
  uint64_t size = 0;
  struct Row {
    const char* name;
    fault::Op op;
    std::function<bool(W&)> call;
    std::function<bool(W&)> unchanged;  // what the failed call must have left alone
  } rows[] = {
      {"open", fault::Op::Open, [](W& w) { return Opens(w.box.Path("n"), kWrite, kCreateNew); },
       [](W& w) { return !std::filesystem::exists(w.box.Path("n")); }},
      {"lock", fault::Op::Lock, [](W& w) { return Opens(w.a, kWrite, kCreateAlways); },
       [](W& w) { return ReadTextFile(w.a) == "A"; }},
      {"read", fault::Op::Read, [&](W& w) { return ReadFile(w.file.get(), buf, 4, &done); },
       [&](W&) { return done == 0; }},
      {"write", fault::Op::Write, [](W& w) { return WriteFile(w.file.get(), "x", 1); },
       [](W& w) { return ReadTextFile(w.a) == "A"; }},
      {"seek", fault::Op::Seek, [](W& w) { return SetFilePointer(w.file.get(), 1, kBegin); },
       [](W& w) { return ::lseek(w.file.get(), 0, SEEK_CUR) == 0; }},
      {"end of file", fault::Op::Seek, [](W& w) { return SetEndOfFile(w.file.get()); },
       [](W& w) { return ReadTextFile(w.a) == "A"; }},
      {"size", fault::Op::Seek, [&](W& w) { return GetFileSize(w.file.get(), &size); }, nullptr},
      {"flush", fault::Op::Flush, [](W& w) { return FlushFile(w.file.get()); }, nullptr},
      {"flush directory", fault::Op::Flush, [](W& w) { return FlushDirectory(w.dir.c_str()); }, nullptr},
      {"move", fault::Op::Move, [](W& w) { return MoveFile(w.a.c_str(), w.box.Path("m").c_str()); },
       [](W& w) { return std::filesystem::exists(w.a) && !std::filesystem::exists(w.box.Path("m")); }},
      {"move replacing", fault::Op::Move,
       [](W& w) { return MoveFileReplacing(w.a.c_str(), w.box.Path("m").c_str()); },
       [](W& w) { return std::filesystem::exists(w.a) && !std::filesystem::exists(w.box.Path("m")); }},
      {"open without following", fault::Op::Open,
       [](W& w) { return UniqueFile(OpenWithoutFollowing(w.a.c_str())).get() != kInvalidFile; }, nullptr},
      {"memory file", fault::Op::Open, [](W&) { return UniqueFile(CreateMemoryFile("m")).get() != kInvalidFile; },
       nullptr},
      {"copy", fault::Op::Copy, [](W& w) { return CopyFile(w.a.c_str(), w.box.Path("c").c_str(), true); },
       [](W& w) { return !std::filesystem::exists(w.box.Path("c")); }},
      {"delete", fault::Op::Delete, [](W& w) { return DeleteFile(w.a.c_str()); },
       [](W& w) { return std::filesystem::exists(w.a); }},
      {"remove directory", fault::Op::Delete, [](W& w) { return RemoveDirectory(w.dir.c_str()); },
       [](W& w) { return std::filesystem::exists(w.dir); }},
      {"create directory", fault::Op::CreateDir, [](W& w) { return CreateDirectory(w.box.Path("d").c_str()); },
       [](W& w) { return !std::filesystem::exists(w.box.Path("d")); }},
  };
  for (const Row& r : rows) {
    World w;
    ASSERT_TRUE(w.file) << r.name;
    fault::Scope scope;
    const int descriptors = OpenDescriptors();
    fault::FailNth(r.op, 1, ERROR_IO_DEVICE);
    SetLastError(0);
    EXPECT_FALSE(r.call(w)) << r.name;
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE) << r.name;
    EXPECT_EQ(OpenDescriptors(), descriptors) << r.name << " leaked a descriptor";
    if (r.unchanged) {
      EXPECT_TRUE(r.unchanged(w)) << r.name << " changed something";
    }
    EXPECT_TRUE(r.call(w)) << r.name << " works once the fault has passed";
  }
  World w;
  fault::Scope scope;
  fault::FailNth(fault::Op::Close, 1, ERROR_IO_DEVICE);
  const int fd = w.file.get();
  EXPECT_FALSE(CloseFile(w.file.release()));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "a failed close still releases the descriptor";
}

}  // namespace

namespace {

TEST(Files, LookingAtANameNeverFollowsOrOpensIt) {
  Sandbox box;
  const std::string file = box.Path("file"), fifo = box.Path("fifo"), link = box.Path("link");
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("four", f);
  std::fclose(f);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);

  FileFacts facts;
  ASSERT_EQ(LookAtName(fifo.c_str(), &facts), 0u) << "a FIFO is looked at, not waited on";
  EXPECT_TRUE(S_ISFIFO(facts.mode));
  ASSERT_EQ(LookAtName(link.c_str(), &facts), 0u);
  EXPECT_TRUE(S_ISLNK(facts.mode)) << "the link itself, not what it names";
  ASSERT_EQ(LookAtName(file.c_str(), &facts), 0u);
  EXPECT_TRUE(S_ISREG(facts.mode));
  EXPECT_EQ(facts.size, 4u);
  EXPECT_EQ(facts.links, 1u);
  EXPECT_EQ(facts.owner, ::geteuid());

  UniqueFile open_file(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  FileFacts opened;
  ASSERT_EQ(LookAtFile(open_file.get(), &opened), 0u);
  EXPECT_EQ(opened.inode, facts.inode);
  EXPECT_EQ(opened.device, facts.device);

  EXPECT_EQ(LookAtName(box.Path("missing").c_str(), &facts), 2u);
  EXPECT_EQ(LookAtName(box.Path("gone/missing").c_str(), &facts), 3u);
  EXPECT_EQ(LookAtFile(-1, &facts), 6u) << "a descriptor that is not open";
  EXPECT_EQ(LookAtName(nullptr, &facts), 87u);
}

}  // namespace
