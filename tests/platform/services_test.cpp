// The service control layer: records in the registry store, the refusals of bad
// arguments and rights, the supervisor's states over a real process's life (start
// pending, running, stop pending, stopped; a program that ends at once; one that
// ignores SIGTERM), deletion while running, pid reuse, failures by fault injection, and
// the systemd unit text and state mapping.
#include "platform/services.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <chrono>

#include "../../platform/src/service_record.h"
#include "../../platform/src/service_systemd.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "sandbox.h"
#include "test_services.h"

namespace {

using namespace platform;
using pellam::test::KillTestService;
using pellam::test::ProcessLives;
using pellam::test::ReadTextFile;
using pellam::test::Sandbox;
using pellam::test::StartedPid;
using pellam::test::StartNote;
using pellam::test::TestService;
using pellam::test::WaitFor;
using pellam::test::WriteTestService;
using pellam::test::WriteTextFile;

constexpr unsigned kSettleMs = 300;
constexpr unsigned kStopWaitMs = 800;
constexpr char kServiceKey[] = "System\\CurrentControlSet\\Services\\Pellam";

// Owns a service handle.
struct Handle {
  SC_HANDLE h = nullptr;
  Handle(SC_HANDLE handle = nullptr) : h(handle) {}
  ~Handle() {
    if (h != nullptr) CloseServiceHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  operator SC_HANDLE() const { return h; }
};

class Services : public ::testing::Test {
 protected:
  void SetUp() override {
    SetServiceTimeouts(kSettleMs, kStopWaitMs);
    manager_.h = OpenSCManager(SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager_.h, nullptr) << GetLastError();
  }
  void TearDown() override {
    for (const std::string& program : programs_) KillTestService(program);
    SetServiceTimeouts(1000, 10000);
  }

  std::string Program(const std::string& name, TestService kind) {
    const std::string path = box_.Path("opt/pellam/" + name);
    WriteTestService(path, kind);
    programs_.push_back(path);
    return path;
  }

  SC_HANDLE Create(const std::string& program, uint32_t start = SERVICE_AUTO_START,
                   const char* name = "Pellam") {
    return CreateService(manager_, name, "Pellam (mail-11)", SERVICE_ALL_ACCESS,
                         SERVICE_WIN32_OWN_PROCESS, start, SERVICE_ERROR_NORMAL, program.c_str(),
                         nullptr, nullptr, nullptr, nullptr, nullptr);
  }

  static uint32_t State(SC_HANDLE service) {
    ServiceStatus status{};
    if (!QueryServiceStatus(service, &status)) return 1000 + GetLastError();
    return status.current_state;
  }

  static bool Reaches(SC_HANDLE service, uint32_t state, unsigned ms) {
    return WaitFor([&] { return State(service) == state; }, ms);
  }

  std::string PidFile() const { return box_.Path("run/pellam/pellam.pid"); }

  Sandbox box_;
  fault::Scope faults_;
  Handle manager_;
  std::vector<std::string> programs_;
};

TEST_F(Services, CreateRecordsTheServiceWhereTheOriginalKeepsIt) {
  const std::string program = Program("pellam", TestService::kRunsUntilStopped);
  Handle service(Create(program));
  ASSERT_NE(service.h, nullptr) << GetLastError();

  UniqueKey key;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kServiceKey, KEY_READ, key.out()), 0u);
  char text[300];
  uint32_t type = 0, size = sizeof text;
  ASSERT_EQ(RegQueryValueEx(key.get(), "ImagePath", &type, reinterpret_cast<uint8_t*>(text), &size), 0u);
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(std::string(text), program);
  size = sizeof text;
  ASSERT_EQ(RegQueryValueEx(key.get(), "DisplayName", &type, reinterpret_cast<uint8_t*>(text), &size), 0u);
  EXPECT_EQ(std::string(text), "Pellam (mail-11)");
  size = sizeof text;
  ASSERT_EQ(RegQueryValueEx(key.get(), "ObjectName", &type, reinterpret_cast<uint8_t*>(text), &size), 0u);
  EXPECT_EQ(std::string(text), "LocalSystem");
  struct Number {
    const char* name;
    uint32_t want;
  };
  for (const Number& n : {Number{"Start", 2}, Number{"Type", 0x10}, Number{"ErrorControl", 1}}) {
    uint32_t value = 0;
    size = sizeof value;
    ASSERT_EQ(RegQueryValueEx(key.get(), n.name, &type, reinterpret_cast<uint8_t*>(&value), &size), 0u) << n.name;
    EXPECT_EQ(type, REG_DWORD) << n.name;
    EXPECT_EQ(value, n.want) << n.name;
  }

  // The configuration comes back in one buffer; a short one tells the size needed.
  alignas(ServiceConfig) unsigned char buffer[552];
  auto* config = reinterpret_cast<ServiceConfig*>(buffer);
  uint32_t needed = 0;
  EXPECT_FALSE(QueryServiceConfig(service, config, sizeof(ServiceConfig), &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  const uint32_t want = static_cast<uint32_t>(sizeof(ServiceConfig) + program.size() + 1 + 2 + 12 + 17);
  EXPECT_EQ(needed, want);
  ASSERT_TRUE(QueryServiceConfig(service, config, sizeof buffer, &needed)) << GetLastError();
  EXPECT_EQ(std::string(config->binary_path_name), program);
  EXPECT_EQ(std::string(config->display_name), "Pellam (mail-11)");
  EXPECT_EQ(std::string(config->service_start_name), "LocalSystem");
  EXPECT_EQ(std::string(config->load_order_group), "");
  EXPECT_EQ(config->service_type, SERVICE_WIN32_OWN_PROCESS);
  EXPECT_EQ(config->start_type, SERVICE_AUTO_START);
  EXPECT_EQ(config->error_control, SERVICE_ERROR_NORMAL);
  EXPECT_EQ(State(service), SERVICE_STOPPED);

  // Names are compared without regard to case.
  Handle again(OpenService(manager_, "PELLAM", SERVICE_QUERY_STATUS));
  EXPECT_NE(again.h, nullptr);
  EXPECT_EQ(Create(program, SERVICE_AUTO_START, "pellam"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
  EXPECT_EQ(OpenService(manager_, "Other", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(Services, BadArgumentsAreRefusedAndLeaveNoRecord) {
  const std::string program = Program("pellam", TestService::kRunsUntilStopped);
  uint32_t tag = 0;
  struct Row {
    const char* what;
    const char* name;
    uint32_t type, start, error_control;
    const char* path;
    const char* group;
    uint32_t* tag;
    const char* dependencies;
    const char* account;
    uint32_t want;
  };
  const char* p = program.c_str();
  const std::string long_path = "/" + std::string(kMaxPath, 'a');
  const std::string long_name(81, 'n');
  const Row rows[] = {
      {"empty name", "", 0x10, 2, 1, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_NAME},
      {"name with a slash", "a/b", 0x10, 2, 1, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_NAME},
      {"name with a backslash", "a\\b", 0x10, 2, 1, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_NAME},
      {"name starting with a dot", ".x", 0x10, 2, 1, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_NAME},
      {"name of 81 characters", long_name.c_str(), 0x10, 2, 1, p, nullptr, nullptr, nullptr,
       nullptr, ERROR_INVALID_NAME},
      {"shared process type", "S", 0x20, 2, 1, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"boot start", "S", 0x10, 0, 1, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"start type 5", "S", 0x10, 5, 1, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"error control 4", "S", 0x10, 2, 4, p, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"relative program", "S", 0x10, 2, 1, "pellam", nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"no program", "S", 0x10, 2, 1, nullptr, nullptr, nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"program path too long", "S", 0x10, 2, 1, long_path.c_str(), nullptr, nullptr, nullptr, nullptr,
       ERROR_INVALID_PARAMETER},
      {"program with a line end", "S", 0x10, 2, 1, "/opt/a\nb", nullptr, nullptr, nullptr, nullptr,
       ERROR_INVALID_PARAMETER},
      {"load order group", "S", 0x10, 2, 1, p, "Net", nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"tag", "S", 0x10, 2, 1, p, nullptr, &tag, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"dependencies", "S", 0x10, 2, 1, p, nullptr, nullptr, "Tcpip", nullptr, ERROR_INVALID_PARAMETER},
      {"another account", "S", 0x10, 2, 1, p, nullptr, nullptr, nullptr, "ann", ERROR_INVALID_SERVICE_ACCOUNT},
  };
  for (const Row& r : rows) {
    SC_HANDLE h = CreateService(manager_, r.name, nullptr, SERVICE_ALL_ACCESS, r.type, r.start,
                                r.error_control, r.path, r.group, r.tag, r.dependencies, r.account, nullptr);
    EXPECT_EQ(h, nullptr) << r.what;
    EXPECT_EQ(GetLastError(), r.want) << r.what << ": got " << GetLastError() << ", want " << r.want;
    if (h != nullptr) CloseServiceHandle(h);
  }
  UniqueKey services;
  uint32_t keys = 99;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services", KEY_READ, services.out()) == 0) {
    ASSERT_EQ(RegQueryInfoKey(services.get(), &keys, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(keys, 0u) << "a refused service left a record";
  }
  // The account may be named LocalSystem, in any case; a null display name is the name.
  Handle ok(CreateService(manager_, "S", nullptr, SERVICE_ALL_ACCESS, 0x10, 3, 0, p, "", nullptr, "",
                          "localsystem", "ignored"));
  ASSERT_NE(ok.h, nullptr) << GetLastError();
  alignas(ServiceConfig) unsigned char buffer[552];
  uint32_t needed = 0;
  ASSERT_TRUE(QueryServiceConfig(ok, reinterpret_cast<ServiceConfig*>(buffer), sizeof buffer, &needed));
  EXPECT_EQ(std::string(reinterpret_cast<ServiceConfig*>(buffer)->display_name), "S");
}

TEST_F(Services, HandlesCarryTheirRights) {
  const std::string program = Program("pellam", TestService::kRunsUntilStopped);
  Handle created(Create(program));
  ASSERT_NE(created.h, nullptr);
  Handle query(OpenService(manager_, "Pellam", SERVICE_QUERY_STATUS));
  ASSERT_NE(query.h, nullptr);
  ServiceStatus status{};
  alignas(ServiceConfig) unsigned char buffer[552];
  uint32_t needed = 0;
  EXPECT_FALSE(StartService(query, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ControlService(query, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteService(query));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(QueryServiceConfig(query, reinterpret_cast<ServiceConfig*>(buffer), sizeof buffer, &needed));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(QueryServiceStatus(query, &status));

  Handle connect(OpenSCManager(SC_MANAGER_CONNECT));
  ASSERT_NE(connect.h, nullptr);
  EXPECT_EQ(CreateService(connect, "Other", nullptr, SERVICE_ALL_ACCESS, 0x10, 2, 1, program.c_str(),
                          nullptr, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  // A manager is not a service and a service not a manager.
  EXPECT_FALSE(QueryServiceStatus(manager_, &status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenService(query, "Pellam", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(QueryServiceStatus(nullptr, &status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseServiceHandle(nullptr));
  EXPECT_FALSE(ControlService(created, 2 /* pause */, &status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);
}

TEST_F(Services, AServiceRunsUntilStoppedThroughEveryState) {
  const std::string program = Program("pellam", TestService::kRunsUntilStopped);
  Handle service(Create(program));
  ASSERT_NE(service.h, nullptr);
  ServiceStatus status{};
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);

  ASSERT_TRUE(StartService(service, 0, nullptr)) << GetLastError();
  ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.current_state, SERVICE_START_PENDING);
  EXPECT_GT(status.wait_hint, 0u);
  EXPECT_EQ(status.controls_accepted, SERVICE_ACCEPT_STOP);
  EXPECT_EQ(status.service_type, SERVICE_WIN32_OWN_PROCESS);
  EXPECT_FALSE(StartService(service, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
  ASSERT_TRUE(Reaches(service, SERVICE_RUNNING, 3000));

  // It was started in the foreground, detached, inside the caller's sandbox.
  ASSERT_TRUE(WaitFor([&] { return !StartNote(program).empty(); }, 3000));
  const pid_t pid = StartedPid(program);
  EXPECT_EQ(StartNote(program), std::to_string(pid) + " --foreground root=" + box_.root());
  // A session of its own, which it does not lead, so it can never gain a terminal.
  EXPECT_NE(::getsid(pid), ::getsid(0));
  EXPECT_NE(::getsid(pid), pid);

  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status)) << GetLastError();
  EXPECT_EQ(status.current_state, SERVICE_STOP_PENDING);
  EXPECT_EQ(status.controls_accepted, 0u);
  ASSERT_TRUE(Reaches(service, SERVICE_STOPPED, 3000));
  EXPECT_FALSE(ProcessLives(pid));
  EXPECT_FALSE(std::filesystem::exists(PidFile())) << "the record of an ended process goes";

  // It starts again, with arguments after --foreground.
  const char* args[] = {"one", "two"};
  ASSERT_TRUE(StartService(service, 2, args)) << GetLastError();
  ASSERT_TRUE(WaitFor([&] { return StartNote(program).find("--foreground one two") != std::string::npos; }, 3000))
      << StartNote(program);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_NE(status.current_state, SERVICE_STOPPED);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_TRUE(Reaches(service, SERVICE_STOPPED, 3000));
}

TEST_F(Services, AProgramThatEndsAtOnceIsReportedStopped) {
  Handle service(Create(Program("pellam", TestService::kExitsAtOnce)));
  ASSERT_NE(service.h, nullptr);
  ASSERT_TRUE(StartService(service, 0, nullptr)) << GetLastError();
  EXPECT_TRUE(Reaches(service, SERVICE_STOPPED, 3000));
  EXPECT_FALSE(std::filesystem::exists(PidFile()));
}

TEST_F(Services, AServiceThatIgnoresTheStopIsRunningAgainAfterTheWait) {
  const std::string program = Program("pellam", TestService::kIgnoresStop);
  Handle service(Create(program));
  ASSERT_NE(service.h, nullptr);
  ASSERT_TRUE(StartService(service, 0, nullptr));
  ASSERT_TRUE(Reaches(service, SERVICE_RUNNING, 3000));
  ServiceStatus status{};
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(State(service), SERVICE_STOP_PENDING);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  EXPECT_EQ(status.current_state, SERVICE_STOP_PENDING);
  ASSERT_TRUE(Reaches(service, SERVICE_RUNNING, kStopWaitMs + 2000));
  EXPECT_TRUE(ProcessLives(StartedPid(program))) << "the layer never kills a service";

  // Deleting it only marks it; the name stays taken until the process has ended.
  ASSERT_TRUE(DeleteService(service)) << GetLastError();
  EXPECT_FALSE(DeleteService(service));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  EXPECT_FALSE(StartService(service, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  EXPECT_EQ(Create(program), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  KillTestService(program);
  ASSERT_TRUE(Reaches(service, SERVICE_STOPPED, 3000));
  EXPECT_EQ(OpenService(manager_, "Pellam", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  Handle renewed(Create(program));
  EXPECT_NE(renewed.h, nullptr) << GetLastError();
}

TEST_F(Services, DeletingAStoppedServiceRemovesItsRecordAtOnce) {
  Handle service(Create(Program("pellam", TestService::kRunsUntilStopped)));
  ASSERT_NE(service.h, nullptr);
  ASSERT_TRUE(DeleteService(service)) << GetLastError();
  UniqueKey key;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kServiceKey, KEY_READ, key.out()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenService(manager_, "Pellam", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(Services, StartFailuresReportTheirCause) {
  struct Row {
    const char* what;
    std::string program;
    uint32_t start;
    uint32_t want;
  };
  const std::string not_executable = box_.Path("opt/pellam/plain");
  WriteTextFile(not_executable, "#!/bin/sh\n");
  ::chmod(not_executable.c_str(), 0644);
  const Row rows[] = {
      {"missing program", box_.Path("opt/pellam/missing"), SERVICE_AUTO_START, ERROR_FILE_NOT_FOUND},
      {"missing directory", box_.Path("opt/nowhere/pellam"), SERVICE_AUTO_START, ERROR_PATH_NOT_FOUND},
      {"not executable", not_executable, SERVICE_AUTO_START, ERROR_ACCESS_DENIED},
      {"disabled", Program("pellam", TestService::kRunsUntilStopped), SERVICE_DISABLED, ERROR_SERVICE_DISABLED},
  };
  for (const Row& r : rows) {
    Handle service(Create(r.program, r.start));
    ASSERT_NE(service.h, nullptr) << r.what;
    EXPECT_FALSE(StartService(service, 0, nullptr)) << r.what;
    EXPECT_EQ(GetLastError(), r.want) << r.what << ": got " << GetLastError() << ", want " << r.want;
    EXPECT_EQ(State(service), SERVICE_STOPPED) << r.what;
    ASSERT_TRUE(DeleteService(service)) << r.what;
  }
}

TEST_F(Services, APidFileIsTrustedOnlyForTheProcessItNames) {
  Handle service(Create(Program("pellam", TestService::kRunsUntilStopped)));
  ASSERT_NE(service.h, nullptr);
  // This test's own pid with a start time that is not its own: the id was reused.
  char text[128];
  std::snprintf(text, sizeof text, "%d 1 1 0\n", static_cast<int>(::getpid()));
  WriteTextFile(PidFile(), text);
  EXPECT_EQ(State(service), SERVICE_STOPPED);
  EXPECT_FALSE(std::filesystem::exists(PidFile()));
  // Text this layer did not write names no process.
  for (const char* garbled : {"", "12", "abc def\n", "-5 1 1 0\n", "1 2 3 4 5\n"}) {
    WriteTextFile(PidFile(), garbled);
    EXPECT_EQ(State(service), SERVICE_STOPPED) << "pid file '" << garbled << "'";
  }
  // A pid file that cannot be read is an error, not a stopped service.
  WriteTextFile(PidFile(), text);
  fault::FailNth(fault::Op::Read, 1, ERROR_IO_DEVICE);
  ServiceStatus status{};
  EXPECT_FALSE(QueryServiceStatus(service, &status));
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
}

TEST_F(Services, AFailedCreateLeavesNoRecord) {
  const std::string program = Program("pellam", TestService::kRunsUntilStopped);
  // Every write of the record fails in turn: key, then each value.
  for (unsigned nth = 1;; ++nth) {
    fault::Clear();
    fault::FailNth(fault::Op::RegWrite, nth, ERROR_CANTWRITE);
    SC_HANDLE h = Create(program);
    if (h != nullptr) {
      CloseServiceHandle(h);
      EXPECT_GT(nth, 2u) << "the record takes more than one write";
      break;
    }
    EXPECT_EQ(GetLastError(), ERROR_CANTWRITE) << "write " << nth;
    fault::Clear();
    UniqueKey key;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kServiceKey, KEY_READ, key.out()), ERROR_FILE_NOT_FOUND)
        << "write " << nth << " failed and left a record";
    ASSERT_LT(nth, 20u);
  }
  fault::Clear();
  fault::FailNth(fault::Op::RegRead, 1, ERROR_CANTREAD);
  EXPECT_EQ(OpenService(manager_, "Pellam", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANTREAD);
}

TEST_F(Services, AStartThatFailsAnywhereLeavesNoProcessAndNoRecord) {
  const std::string program = Program("pellam", TestService::kRunsUntilStopped);
  Handle service(Create(program));
  ASSERT_NE(service.h, nullptr);
  struct Row {
    fault::Op op;
    const char* what;
  };
  for (const Row& r : {Row{fault::Op::RegRead, "registry read"}, Row{fault::Op::CreateDir, "run directory"},
                       Row{fault::Op::Open, "open"}, Row{fault::Op::Read, "read"},
                       Row{fault::Op::Write, "write"}, Row{fault::Op::Close, "close"},
                       Row{fault::Op::Move, "rename"}}) {
    // The nth call of the operation fails, for every n until the start gets through.
    for (unsigned nth = 1;; ++nth) {
      std::filesystem::remove_all(box_.Path("run"));
      std::filesystem::remove(program + ".started");
      fault::Clear();
      fault::FailNth(r.op, nth, ERROR_DISK_FULL);
      const bool started = StartService(service, 0, nullptr);
      const uint32_t code = GetLastError();
      fault::Clear();
      if (started) {
        ASSERT_TRUE(Reaches(service, SERVICE_RUNNING, 3000)) << r.what;
        ServiceStatus status{};
        ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
        ASSERT_TRUE(Reaches(service, SERVICE_STOPPED, 3000)) << r.what;
        break;
      }
      EXPECT_EQ(code, ERROR_DISK_FULL) << r.what << " " << nth;
      // A program that ran was ended, because nothing could have tracked it.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (!StartNote(program).empty()) {
        EXPECT_TRUE(WaitFor([&] { return !ProcessLives(StartedPid(program)); }, 3000)) << r.what << " " << nth;
      }
      EXPECT_EQ(State(service), SERVICE_STOPPED) << r.what << " " << nth;
      EXPECT_FALSE(std::filesystem::exists(PidFile() + ".new")) << r.what << " " << nth;
      ASSERT_LT(nth, 20u) << r.what;
    }
  }
  // A stop request that cannot be recorded sends no signal.
  ASSERT_TRUE(StartService(service, 0, nullptr));
  ASSERT_TRUE(Reaches(service, SERVICE_RUNNING, 3000));
  fault::FailNth(fault::Op::Write, 1, ERROR_DISK_FULL);
  ServiceStatus status{};
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  fault::Clear();
  EXPECT_EQ(State(service), SERVICE_RUNNING);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_TRUE(Reaches(service, SERVICE_STOPPED, 3000));
}

TEST(ServiceSystemd, UnitTextQuotesWhatSystemdWouldInterpret) {
  service::Record record;
  record.image_path = "/opt/my \"pellam\"/100%/$HOME\\pellam";
  record.display_name = "Pellam (mail-11)\nExecStart=/bin/evil";
  const std::string text = service::UnitText(record, 2500);
  EXPECT_NE(text.find("ExecStart=\"/opt/my \\\"pellam\\\"/100%%/$$HOME\\\\pellam\" --foreground\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Description=Pellam (mail-11) ExecStart=/bin/evil\n"), std::string::npos) << text;
  EXPECT_NE(text.find("TimeoutStopSec=3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("WantedBy=multi-user.target\n"), std::string::npos);
  EXPECT_EQ(service::UnitName("Pellam"), "pellam.service");
}

TEST(ServiceSystemd, ShowOutputMapsToTheStates) {
  struct Row {
    const char* show;
    uint64_t now_us;
    uint32_t want;
  };
  const Row rows[] = {
      {"ActiveState=inactive\nActiveEnterTimestampMonotonic=0\n", 5000000, SERVICE_STOPPED},
      {"ActiveState=failed\n", 5000000, SERVICE_STOPPED},
      {"", 5000000, SERVICE_STOPPED},
      {"ActiveState=activating\n", 5000000, SERVICE_START_PENDING},
      {"ActiveState=deactivating\n", 5000000, SERVICE_STOP_PENDING},
      {"ActiveState=active\nActiveEnterTimestampMonotonic=4900000\n", 5000000, SERVICE_START_PENDING},
      {"ActiveState=active\nActiveEnterTimestampMonotonic=1000000\n", 5000000, SERVICE_RUNNING},
      {"ActiveEnterTimestampMonotonic=1000000\nActiveState=reloading\n", 5000000, SERVICE_RUNNING},
  };
  for (const Row& r : rows) {
    uint32_t hint = 0;
    EXPECT_EQ(service::StateFromShow(r.show, r.now_us, 1000, &hint), r.want) << "show '" << r.show << "'";
  }
  uint32_t hint = 0;
  service::StateFromShow("ActiveState=active\nActiveEnterTimestampMonotonic=4900000\n", 5000000, 1000, &hint);
  EXPECT_EQ(hint, 900u);
}

TEST(ServiceNames, OnlySafeNamesAreValid) {
  for (const char* good : {"Pellam", "a", "svc-1_x.y", "A23456789012345678901234567890123456789012345678901234567890123456789012345678"}) {
    EXPECT_TRUE(service::ValidName(good)) << good;
  }
  for (const char* bad : std::initializer_list<const char*>{"", ".hidden", "a b", "a/b", "a\\b", "ä", "a\n", nullptr}) {
    EXPECT_FALSE(service::ValidName(bad)) << (bad != nullptr ? bad : "null");
  }
}

}  // namespace
