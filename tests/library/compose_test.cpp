// Composition and posting: the state machine, address expansion, the control file
// byte for byte, the queue names, and "nothing reaches the queue unless posted"
// under every fault the platform layer can inject and under a killed sender.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "compose/message_handle.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "posting_sandbox.h"

namespace {

using pellam::test::PostingSandbox;
using pellam::test::RecordTexts;
using Texts = std::vector<std::string>;
namespace control = pellam::control;

class Compose : public ::testing::Test {
 protected:
  MailHandle Open() {
    MailHandle m = CreateMailMessage(0);
    EXPECT_NE(m, nullptr) << "CreateMailMessage: " << platform::GetLastError();
    return m;
  }
  // Posts a message to `to` (and `cc`) with the given subject and text; returns the
  // first failure.
  uint32_t Send(const char* to, const char* cc = nullptr, const char* subject = "Hi",
                const char* text = "Hello\r\n") {
    MailHandle m = CreateMailMessage(0);
    if (m == nullptr) return platform::GetLastError();
    uint32_t code = AddAddresses(m, to, ADDR_TO);
    if (code == 0 && cc != nullptr) code = AddAddresses(m, cc, ADDR_CC);
    if (code == 0) code = AddHeaders(m, nullptr, nullptr, nullptr, subject);
    if (code == 0) code = AddText(m, text, -1);
    if (code == 0) code = PostMailMessage(m);
    const uint32_t closed = CloseMailMessage(m);
    return code != 0 ? code : closed;
  }
  void SetAliasTo(const char* name, const std::string& translation) {
    std::string list = translation;
    list.push_back('\0');
    list.push_back('\0');
    ASSERT_EQ(SetAlias(name, list.data(), ALIAS_SCOPE_USER), 0u) << name;
  }
  void ExpectNothingLeft() {
    EXPECT_EQ(sandbox_.QueueFiles(), Texts{});
    EXPECT_EQ(sandbox_.TempFiles(), Texts{});
  }

  PostingSandbox sandbox_;
};

// ---- The state machine ------------------------------------------------------------

TEST_F(Compose, PostingWithoutAddressesFailsAndTheHandleRefusesEverythingButClose) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(PostMailMessage(m), ERR_NO_ADDRESSES);
  EXPECT_EQ(platform::GetLastError(), ERR_NO_ADDRESSES);
  const struct {
    const char* call;
    uint32_t got;
  } later[] = {
      {"AddAddresses", AddAddresses(m, "SMITH", ADDR_TO)},
      {"AddHeaders", AddHeaders(m, "x", nullptr, nullptr, nullptr)},
      {"AddText", AddText(m, "t", 1)},
      {"PostMailMessage", PostMailMessage(m)},
  };
  for (const auto& c : later) EXPECT_EQ(c.got, ERR_OUT_OF_ORDER) << c.call;
  EXPECT_EQ(platform::GetLastError(), ERR_OUT_OF_ORDER);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  ExpectNothingLeft();
}

TEST_F(Compose, CallsOutOfOrderAreRefused) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddAddresses(m, "JONES", ADDR_CC), 0u);  // addresses may repeat
  ASSERT_EQ(AddHeaders(m, nullptr, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(AddHeaders(m, nullptr, nullptr, nullptr, nullptr), ERR_OUT_OF_ORDER);
  EXPECT_EQ(CloseMailMessage(m), 0u);

  m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddHeaders(m, nullptr, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(AddAddresses(m, "JONES", ADDR_TO), ERR_OUT_OF_ORDER);
  // Refused in the state step itself: the handle is not spoiled.
  EXPECT_EQ(AddText(m, "x", 1), 0u);
  EXPECT_EQ(PostMailMessage(m), 0u);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(RecordTexts(sandbox_.Posted().items), Texts{"SMITH"});
}

TEST_F(Compose, BadHandlesAreRefusedByEveryCall) {
  // A block that is not an open handle: a zeroed record has no signature.
  auto* foreign = static_cast<MailHandle>(AllocZeroMem(sizeof(MailMessage)));
  for (MailHandle h : {MailHandle{nullptr}, foreign}) {
    int fd = 0;
    const uint32_t got[] = {AddAddresses(h, "SMITH", ADDR_TO), AddHeaders(h, nullptr, nullptr, nullptr, nullptr),
                            AddHeadersFile(h, fd, 0),          AddText(h, "x", 1),
                            AddTextFile(h, fd, 0),             PostMailMessage(h),
                            CloseMailMessage(h)};
    for (size_t i = 0; i < std::size(got); ++i) EXPECT_EQ(got[i], ERR_BAD_HANDLE) << "call " << i;
    EXPECT_EQ(platform::GetLastError(), ERR_BAD_HANDLE);
  }
  FreeMem(foreign);
}

TEST_F(Compose, AnUnknownKindIsRefusedBeforeTheStateStep) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  for (int32_t kind : {2, -2, 100}) {
    EXPECT_EQ(AddAddresses(m, "SMITH", kind), ERROR_INVALID_PARAMETER) << kind;
  }
  EXPECT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);  // the handle is still good
  EXPECT_EQ(PostMailMessage(m), 0u);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(RecordTexts(sandbox_.Posted().items), Texts{"SMITH"});
}

TEST_F(Compose, LeftOutStepsAreFilledIn) {
  // Posting right after the headers posts an empty text.
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddHeaders(m, nullptr, nullptr, nullptr, "empty"), 0u);
  ASSERT_EQ(PostMailMessage(m), 0u);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  auto posted = sandbox_.Posted();
  EXPECT_EQ(posted.text(), "");
  EXPECT_EQ(posted.header(), "From: ann  (Ann Smith)\r\nTo: SMITH\r\nSubject: empty\r\n\r\n");
  sandbox_.ClearQueue();

  // Text straight after the addresses: the headers are built with nothing given.
  m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddText(m, "body", -1), 0u);
  ASSERT_EQ(PostMailMessage(m), 0u);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  posted = sandbox_.Posted();
  EXPECT_EQ(posted.header(), "From: ann  (Ann Smith)\r\nTo: SMITH\r\n\r\n");
  EXPECT_EQ(posted.text(), "body");
}

TEST_F(Compose, ClosingAnUnpostedHandleRemovesItsFile) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(sandbox_.TempFiles().size(), 1u);
  EXPECT_EQ(std::string(m->temp_name).rfind(sandbox_.temp() + "snd", 0), 0u) << m->temp_name;
  EXPECT_EQ(CloseMailMessage(m), 0u);
  ExpectNothingLeft();
}

// ---- Addresses --------------------------------------------------------------------

TEST_F(Compose, AddressesKeepTheirOrderAndTheHeaderLinesShowTheCallersTokens) {
  ASSERT_EQ(Send("SMITH, JONES", "BROWN"), 0u);
  const auto posted = sandbox_.Posted();
  EXPECT_EQ(RecordTexts(posted.items), (Texts{"SMITH", "JONES", "BROWN"}));
  EXPECT_EQ(posted.header(), "From: ann  (Ann Smith)\r\nTo: SMITH,JONES\r\nCc: BROWN\r\nSubject: Hi\r\n\r\n");
  EXPECT_EQ(posted.text(), "Hello\r\n");
}

TEST_F(Compose, AddressRecordsCarryTheParsersValues) {
  ASSERT_EQ(Send("SMITH NODEA::JONES USER@HOST GATE::\"USER@HOST\" a@b@c"), 0u);
  const auto posted = sandbox_.Posted();
  struct Want {
    const char* text;
    int node_offset, node_length, user_offset, user_length, form;
  };
  const Want want[] = {
      {"SMITH", 0, 0, 0, 5, ADDR_FORM_DECNET},
      {"NODEA::JONES", 0, 5, 7, 5, ADDR_FORM_DECNET},
      {"USER@HOST", 0, 0, 0, 9, ADDR_FORM_EXTERNAL},  // external: the whole text is the user
      {"GATE::\"USER@HOST\"", 0, 4, 6, 11, ADDR_FORM_DECNET},
      {"a@b@c", 0, 0, 0, 5, ADDR_FORM_EXTERNAL},
  };
  ASSERT_EQ(posted.items.addresses.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); ++i) {
    const auto& r = posted.items.addresses[i];
    EXPECT_EQ(r.text, want[i].text);
    EXPECT_EQ((std::vector<int>{r.node_offset, r.node_length, r.user_offset, r.user_length, r.form}),
              (std::vector<int>{want[i].node_offset, want[i].node_length, want[i].user_offset,
                                want[i].user_length, want[i].form}))
        << want[i].text;
  }
}

TEST_F(Compose, ListSyntaxAndBlankEntries) {
  const struct {
    const char* list;
    uint32_t want;
    Texts records;
  } rows[] = {
      {"SMITH,,JONES", 0, {"SMITH", "JONES"}},
      {"SMITH (Jo Smith), NODEA::JONES", 0, {"SMITH", "NODEA::JONES"}},
      {"SMITH, ", 0, {"SMITH"}},
      {"SMITH, ,", ERR_BLANK_ADDRESS, {}},
      {"   ", ERR_BLANK_ADDRESS, {}},
      {"SMITH (Jo", ERR_UNBALANCED_PARENS, {}},
      {"\"SMITH", ERR_UNBALANCED_QUOTES, {}},
      {"@HOST", ERR_LIST_OPEN, {}},  // a list token, not an address
      {"USER@", ERR_ADDRESS_SYNTAX, {}},
      {"::SMITH", ERR_ADDRESS_SYNTAX, {}},
  };
  for (const auto& row : rows) {
    const uint32_t got = Send(row.list);
    EXPECT_EQ(got, row.want) << "list [" << row.list << "]";
    if (row.want == 0) {
      EXPECT_EQ(RecordTexts(sandbox_.Posted().items), row.records) << row.list;
    } else {
      EXPECT_EQ(sandbox_.QueueFiles(), Texts{}) << row.list;
    }
    sandbox_.ClearQueue();
  }
  // An empty list adds nothing and succeeds; the headers then find no address.
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(AddAddresses(m, "", ADDR_TO), 0u);
  EXPECT_EQ(AddHeaders(m, nullptr, nullptr, nullptr, nullptr), ERR_NO_ADDRESSES);
  CloseMailMessage(m);
  ExpectNothingLeft();
}

TEST_F(Compose, ASingleAddressIsTakenLiterally) {
  SetAliasTo("staff", "JONES");
  const struct {
    const char* list;
    uint32_t want;
    Texts records;
  } rows[] = {
      {"SMITH JONES", ERR_REMOTE_LIST, {}},
      {"SMITH, JONES", ERR_REMOTE_LIST, {}},
      {"SMITH (a comment)", 0, {"SMITH"}},
      {"SMITH, ", 0, {"SMITH"}},
      {"staff", 0, {"staff"}},  // an alias name, not expanded
      {"@list.txt", ERR_REMOTE_LIST, {}},
  };
  for (const auto& row : rows) {
    MailHandle m = Open();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(AddAddresses(m, row.list, ADDR_SINGLE), row.want) << row.list;
    if (row.want == 0) {
      EXPECT_EQ(PostMailMessage(m), 0u);
      const auto posted = sandbox_.Posted();
      EXPECT_EQ(RecordTexts(posted.items), row.records) << row.list;
      // A single address shows among the To addresses.
      EXPECT_NE(posted.header().find("\r\nTo: " + row.records[0] + "\r\n"), std::string::npos) << row.list;
    }
    EXPECT_EQ(CloseMailMessage(m), 0u);
    sandbox_.ClearQueue();
  }
}

TEST_F(Compose, AliasesExpandButTheToLineShowsTheAliasName) {
  SetAliasTo("staff", std::string("SMITH") + '\0' + "NODEA::JONES" + '\0' + "team");
  SetAliasTo("team", "BROWN, GREEN");
  ASSERT_EQ(Send("staff, WHITE", "team"), 0u);
  const auto posted = sandbox_.Posted();
  EXPECT_EQ(RecordTexts(posted.items),
            (Texts{"SMITH", "NODEA::JONES", "BROWN", "GREEN", "WHITE", "BROWN", "GREEN"}));
  EXPECT_EQ(posted.header(), "From: ann  (Ann Smith)\r\nTo: staff,WHITE\r\nCc: team\r\nSubject: Hi\r\n\r\n");
  // Only local names are looked up: NODEA::staff is an address.
  sandbox_.ClearQueue();
  ASSERT_EQ(Send("NODEA::staff"), 0u);
  EXPECT_EQ(RecordTexts(sandbox_.Posted().items), Texts{"NODEA::staff"});
}

// A list's names are looked up in stores read once for the whole list: the user's
// first, then the machine's, names matched without regard to case, an empty value
// standing for no alias and a value of another type failing the translation.
TEST_F(Compose, AListReadsEachAliasStoreOnceAndFindsWhatGetAliasFinds) {
  SetAliasTo("staff", "SMITH");
  std::string list = std::string("JONES") + '\0' + '\0';
  ASSERT_EQ(SetAlias("STAFF", list.data(), ALIAS_SCOPE_SYSTEM), 0u);
  list = std::string("BROWN") + '\0' + '\0';
  ASSERT_EQ(SetAlias("board", list.data(), ALIAS_SCOPE_SYSTEM), 0u);
  list = std::string("GREEN") + '\0' + '\0';
  ASSERT_EQ(SetAlias("empty", list.data(), ALIAS_SCOPE_SYSTEM), 0u);
  {
    // An empty user value, as a hand edit leaves it: the machine's alias counts.
    platform::UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, PELLAM_ALIAS_KEY, key.out()), 0u);
    const uint8_t nothing[1] = {0};
    ASSERT_EQ(platform::RegSetValueEx(key.get(), "EMPTY", platform::REG_MULTI_SZ, nothing, 1), 0u);
  }

  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  {
    platform::fault::Scope counting;
    ASSERT_EQ(AddAddresses(m, "Staff, BOARD, empty, WHITE, KING, WOOD, GREY", ADDR_TO), 0u);
    EXPECT_EQ(platform::fault::Calls(platform::fault::Op::RegRead), 2u) << "one read of each store";
  }
  ASSERT_EQ(PostMailMessage(m), 0u);
  ASSERT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(RecordTexts(sandbox_.Posted().items),
            (Texts{"SMITH", "BROWN", "GREEN", "WHITE", "KING", "WOOD", "GREY"}));
  for (const char* name : {"Staff", "BOARD", "empty", "WHITE"}) {
    char* translation = nullptr;
    const uint32_t code = GetAlias(name, &translation, ALIAS_SCOPE_ANY);
    SCOPED_TRACE(name);
    EXPECT_EQ(code, std::string(name) == "WHITE" ? ERR_NO_SUCH_ALIAS : 0u) << "the book and GetAlias agree";
    FreeAliasBuff(translation);
  }
  sandbox_.ClearQueue();

  // A value of another type fails the whole list, as it fails GetAlias.
  {
    platform::UniqueKey key;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, PELLAM_ALIAS_KEY, key.out()), 0u);
    const uint32_t number = 7;
    ASSERT_EQ(platform::RegSetValueEx(key.get(), "odd", platform::REG_DWORD, reinterpret_cast<const uint8_t*>(&number),
                                      sizeof number),
              0u);
  }
  char* translation = nullptr;
  EXPECT_EQ(GetAlias("odd", &translation, ALIAS_SCOPE_ANY), ERROR_INVALID_DATA);
  EXPECT_EQ(Send("WHITE, odd"), ERR_ALIAS_TRANSLATION);
  ExpectNothingLeft();
}

TEST_F(Compose, AliasesNestSevenDeepAndALoopEndsInTooManyLevels) {
  // a1 -> a2 -> ... -> a7 -> SMITH: seven levels below the caller's list.
  for (int i = 1; i < 7; ++i) SetAliasTo(("a" + std::to_string(i)).c_str(), "a" + std::to_string(i + 1));
  SetAliasTo("a7", "SMITH");
  EXPECT_EQ(Send("a1"), 0u);
  EXPECT_EQ(RecordTexts(sandbox_.Posted().items), Texts{"SMITH"});
  sandbox_.ClearQueue();
  // One level more is too many.
  SetAliasTo("a0", "a1");
  EXPECT_EQ(Send("a0"), ERR_TOO_MANY_LEVELS);
  SetAliasTo("loop", "SMITH, loop");
  EXPECT_EQ(Send("loop"), ERR_TOO_MANY_LEVELS);
  ExpectNothingLeft();
}

TEST_F(Compose, DistributionListsHoldAddressesAliasesAndFurtherLists) {
  SetAliasTo("team", "BROWN");
  const std::string inner = sandbox_.box().Path("lists/inner.txt");
  const std::string outer = sandbox_.box().Path("lists/outer.txt");
  const std::string empty = sandbox_.box().Path("lists/empty.txt");
  pellam::test::WriteTextFile(inner, "NODEB::GREEN\r\n");
  pellam::test::WriteTextFile(outer, "SMITH\nteam\n@" + inner + "\n\n");
  pellam::test::WriteTextFile(empty, "");
  const std::string to = "@" + outer + ", @" + empty;
  ASSERT_EQ(Send(to.c_str()), 0u);
  const auto posted = sandbox_.Posted();
  EXPECT_EQ(RecordTexts(posted.items), (Texts{"SMITH", "BROWN", "NODEB::GREEN"}));
  EXPECT_NE(posted.header().find("\r\nTo: @" + outer + ",@" + empty + "\r\n"), std::string::npos)
      << posted.header();
  sandbox_.ClearQueue();

  // An empty list alone adds no record, so the message has no address.
  EXPECT_EQ(Send(("@" + empty).c_str()), ERR_NO_ADDRESSES);
  EXPECT_EQ(Send(("@" + sandbox_.box().Path("lists/missing.txt")).c_str()), ERR_LIST_OPEN);
  const std::string self = sandbox_.box().Path("lists/self.txt");
  pellam::test::WriteTextFile(self, "SMITH @" + self);
  EXPECT_EQ(Send(("@" + self).c_str()), ERR_TOO_MANY_LEVELS);
  ExpectNothingLeft();
}

TEST_F(Compose, ADistributionListThatCannotBeReadIsReported) {
  const std::string list = sandbox_.box().Path("lists/list.txt");
  pellam::test::WriteTextFile(list, "SMITH");
  const std::string to = "@" + list;
  const struct {
    platform::fault::Op op;
    uint32_t want;
  } rows[] = {
      {platform::fault::Op::Seek, ERR_LIST_READ},  // sizing the file
      {platform::fault::Op::Read, ERR_LIST_READ},
      {platform::fault::Op::Lock, ERR_LIST_OPEN},
  };
  for (const auto& row : rows) {
    MailHandle m = Open();
    ASSERT_NE(m, nullptr);
    platform::fault::Scope faults;
    platform::fault::FailNth(row.op, 1, ERROR_IO_DEVICE);
    EXPECT_EQ(AddAddresses(m, to.c_str(), ADDR_TO), row.want) << static_cast<unsigned>(row.op);
    platform::fault::Clear();
    EXPECT_EQ(CloseMailMessage(m), 0u);
  }
  ExpectNothingLeft();
}

TEST_F(Compose, AFailedAliasLookupIsATranslationError) {
  SetAliasTo("other", "JONES");  // the alias key exists, so the value is queried
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::RegRead, 1, ERROR_BADDB);
  EXPECT_EQ(AddAddresses(m, "SMITH", ADDR_TO), ERR_ALIAS_TRANSLATION);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  ExpectNothingLeft();
}

TEST_F(Compose, RecordSizesFollowTheAddressLength) {
  const struct {
    size_t length;
    uint16_t length_field;
    size_t record_size;
    size_t padding;
  } rows[] = {{16, 39, 44, 1}, {17, 40, 44, 0}, {18, 41, 48, 3}, {21, 44, 48, 0}};
  for (const auto& row : rows) {
    const std::string address(row.length, 'A');
    ASSERT_EQ(Send(address.c_str()), 0u);
    const auto posted = sandbox_.Posted();
    const auto* b = reinterpret_cast<const uint8_t*>(posted.bytes.data());
    const size_t end = control::kLeadingSize + row.record_size;
    EXPECT_EQ(b[72] | (b[73] << 8), control::kItemAddress);
    EXPECT_EQ(b[74] | (b[75] << 8), row.length_field) << row.length;
    EXPECT_EQ(posted.items.sections.header_offset, end + 4) << row.length;  // after the end mark
    for (size_t i = 72 + 26 + row.length; i < end; ++i) EXPECT_EQ(b[i], 0) << row.length << " at " << i;
    EXPECT_EQ(end - (72 + 27 + row.length), row.padding);
    sandbox_.ClearQueue();
  }
}

TEST_F(Compose, AddressesTheRecordCannotDescribeAreRefused) {
  // The record's byte fields hold offsets and lengths up to 255.
  const std::string user255(255, 'U'), user256(256, 'U'), node(200, 'N');
  const struct {
    std::string address;
    uint32_t want;
  } rows[] = {
      {user255, 0},
      {user256, ERR_ADDRESS_SYNTAX},
      {node + "::" + std::string(55, 'U'), 0},               // user offset 202, length 55
      {node + "::" + std::string(60, 'U'), 0},               // user length 60, offset 202
      {std::string(254, 'N') + "::U", ERR_ADDRESS_SYNTAX},   // user offset 256
      {std::string(256, 'u') + "@HOST", ERR_ADDRESS_SYNTAX},  // external: user length 261
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Send(row.address.c_str()), row.want) << row.address.size() << " characters";
    if (row.want == 0) {
      const auto posted = sandbox_.Posted();
      EXPECT_EQ(RecordTexts(posted.items), Texts{row.address});
    }
    sandbox_.ClearQueue();
  }
  ExpectNothingLeft();
}

// ---- Headers ----------------------------------------------------------------------

TEST_F(Compose, HeaderLinesAppearOnlyWhenTheyHaveText) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_SINGLE), 0u);
  ASSERT_EQ(AddHeaders(m, "someone", "", "", ""), 0u);  // empty to: the handle's, none for cc
  ASSERT_EQ(PostMailMessage(m), 0u);
  ASSERT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(sandbox_.Posted().header(), "From: someone\r\nTo: SMITH\r\n\r\n");
  sandbox_.ClearQueue();

  m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddHeaders(m, nullptr, "Everyone", "Nobody", "S"), 0u);  // given texts win
  ASSERT_EQ(PostMailMessage(m), 0u);
  ASSERT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(sandbox_.Posted().header(),
            "From: ann  (Ann Smith)\r\nTo: Everyone\r\nCc: Nobody\r\nSubject: S\r\n\r\n");
}

TEST_F(Compose, TheFromLineComesFromTheProfileWithQuotesAsApostrophes) {
  const struct {
    const char* full_name;
    uint32_t want;
    const char* from_line;
  } rows[] = {
      {"Ann \"AJ\" Smith", 0, "From: ann  (Ann 'AJ' Smith)\r\n"},
      {"Ann Smith\t", 0, "From: ann  (Ann Smith)\r\n"},  // trailing blank removed
      {"2nd Ann", ERR_NAME_START, nullptr},
      {"Ann  Smith", ERR_NAME_SPACES, nullptr},
      {"Ann (x", ERR_UNBALANCED_PARENS, nullptr},
  };
  for (const auto& row : rows) {
    MailProfile p{};
    std::strcpy(p.FullName, row.full_name);
    p.AutoReply = p.DisableNewMail = -1;
    ASSERT_EQ(UpdateMailProfile(&p, sizeof p), 0u);
    MailHandle m = Open();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
    EXPECT_EQ(AddHeaders(m, nullptr, nullptr, nullptr, nullptr), row.want) << row.full_name;
    if (row.want != 0) {
      // The name is checked before the state step: a From given now still works.
      EXPECT_EQ(AddHeaders(m, "ann", nullptr, nullptr, nullptr), 0u) << row.full_name;
    }
    ASSERT_EQ(PostMailMessage(m), 0u);
    ASSERT_EQ(CloseMailMessage(m), 0u);
    const std::string header(sandbox_.Posted().header());
    EXPECT_EQ(header.substr(0, header.find('\n') + 1), row.from_line ? row.from_line : "From: ann\r\n")
        << row.full_name;
    sandbox_.ClearQueue();
  }
}

TEST(ComposeFrom, AnAccountWithoutAFullNameSendsItsNameAlone) {
  PostingSandbox sandbox("");
  MailHandle m = CreateMailMessage(0);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(PostMailMessage(m), 0u);
  ASSERT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(sandbox.Posted().header(), "From: ann\r\nTo: SMITH\r\n\r\n");
}

TEST_F(Compose, HeadersAndTextCopyFromTheDescriptorsPosition) {
  const std::string source = sandbox_.box().Path("source.txt");
  pellam::test::WriteTextFile(source, "skipX-Header: 1\r\n\r\nline one\r\nline two\r\n");
  platform::UniqueFile in(platform::CreateFile(source.c_str(), platform::kRead, platform::kShareRead,
                                               platform::kOpenExisting));
  ASSERT_TRUE(in);
  ASSERT_TRUE(platform::SetFilePointer(in.get(), 4, platform::kBegin));
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddHeadersFile(m, in.get(), 15), 0u);       // "X-Header: 1\r\n\r\n"
  ASSERT_EQ(AddTextFile(m, in.get(), 10), 0u);          // "line one\r\n"
  ASSERT_EQ(AddText(m, "-", -1), 0u);                   // texts and files mix
  ASSERT_EQ(AddTextFile(m, in.get(), 0xFFFFFFFF), 0u);  // to the end
  ASSERT_EQ(AddTextFile(m, in.get(), 0xFFFFFFFF), 0u);  // nothing left: adds nothing
  ASSERT_EQ(PostMailMessage(m), 0u);
  ASSERT_EQ(CloseMailMessage(m), 0u);
  const auto posted = sandbox_.Posted();
  EXPECT_EQ(posted.header(), "X-Header: 1\r\n\r\n");
  EXPECT_EQ(posted.text(), "line one\r\n-line two\r\n");
}

TEST_F(Compose, TextIsKeptExactlyAsSupplied) {
  std::string text;
  for (int i = 0; i < 70000; ++i) text.push_back(static_cast<char>(i * 7));  // NULs and all
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddText(m, text.data(), 1000), 0u);
  ASSERT_EQ(AddText(m, nullptr, 5), 0u);  // null counts as empty
  ASSERT_EQ(AddText(m, text.data() + 1000, static_cast<int32_t>(text.size() - 1000)), 0u);
  ASSERT_EQ(PostMailMessage(m), 0u);
  ASSERT_EQ(CloseMailMessage(m), 0u);
  EXPECT_TRUE(sandbox_.Posted().text() == text);
}

TEST_F(Compose, TextThatWouldPassFourGibibytesIsRefused) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(AddText(m, "x", 1), 0u);
  // Stand the file just below the limit (a sparse file: no disk is used).
  ASSERT_GE(::lseek(m->file, off_t{0xFFFFFFFF} - 2, SEEK_SET), 0);
  EXPECT_EQ(AddText(m, "abcd", 4), ERR_TEXT_TOO_LARGE);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  ExpectNothingLeft();
}

// ---- The control file -------------------------------------------------------------

// The bytes of "hex" ("XX" for a byte not compared), followed by `tail`.
struct Golden {
  std::string bytes;
  std::vector<bool> compared;
};
Golden FromHex(const char* hex, const std::string& tail) {
  Golden g;
  for (const char* p = hex; *p != '\0';) {
    if (*p == ' ' || *p == '\n') {
      ++p;
      continue;
    }
    const bool masked = p[0] == 'X';
    g.bytes.push_back(masked ? '\0' : static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
    g.compared.push_back(!masked);
    p += 2;
  }
  g.bytes += tail;
  g.compared.resize(g.bytes.size(), true);
  return g;
}

TEST_F(Compose, AWholeControlFileByteForByte) {
  const uint64_t before = control::CurrentFileTime();
  ASSERT_EQ(Send("SMITH, NODEA::JONES (Jo)", "USER@HOST", "Hi", "Hello\r\n"), 0u);
  const uint64_t after = control::CurrentFileTime();
  const auto posted = sandbox_.Posted();
  const Golden want = FromHex(
      // item 1, item 2 (the creation time masked), item 3
      "01 00 02 00 00 00 00 00"
      " 02 00 1C 00 00 00 00 00 XX XX XX XX XX XX XX XX 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
      " 03 00 04 00 00 00 00 00"
      // item 4: header at 184, 78 bytes; item 5: text at 262, 7 bytes
      " 04 00 08 00 B8 00 00 00 4E 00 00 00"
      " 05 00 08 00 06 01 00 00 07 00 00 00"
      // SMITH: 32 bytes, no padding
      " 06 00 1C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 05 3D 00"
      " 53 4D 49 54 48 00"
      // NODEA::JONES: 40 bytes, one padding byte
      " 06 00 23 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 05 07 05 3D 00"
      " 4E 4F 44 45 41 3A 3A 4A 4F 4E 45 53 00 00"
      // USER@HOST: external form, 36 bytes
      " 06 00 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 09 40 00"
      " 55 53 45 52 40 48 4F 53 54 00"
      // the end mark
      " 00 00 00 00",
      "From: ann  (Ann Smith)\r\nTo: SMITH,NODEA::JONES\r\nCc: USER@HOST\r\nSubject: Hi\r\n\r\nHello\r\n");
  ASSERT_EQ(posted.bytes.size(), want.bytes.size());
  for (size_t i = 0; i < want.bytes.size(); ++i) {
    if (want.compared[i]) {
      EXPECT_EQ(static_cast<uint8_t>(posted.bytes[i]), static_cast<uint8_t>(want.bytes[i])) << "byte " << i;
    }
  }
  EXPECT_GE(posted.items.creation_time, before);
  EXPECT_LE(posted.items.creation_time, after);
}

TEST_F(Compose, OnlyTheOptionBitIsStored) {
  MailHandle m = CreateMailMessage(0xFFFFFFFF);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(PostMailMessage(m), 0u);
  ASSERT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(sandbox_.Posted().items.options, 1u);
}

// ---- Queue names ------------------------------------------------------------------

TEST_F(Compose, ATakenQueueNameIsRetriedWithZDownToA) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  const std::string name = m->queue_name;  // e.g. <queue>/snd1A3F.mai
  ASSERT_EQ(name.rfind(sandbox_.queue() + "snd", 0), 0u) << name;
  ASSERT_EQ(name.substr(name.size() - 4), ".mai");
  EXPECT_EQ(std::string(platform::FinalName(m->temp_name)).substr(0, 7),
            std::string(platform::FinalName(name.c_str())).substr(0, 7));
  pellam::test::WriteTextFile(name, "taken");
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  ASSERT_EQ(PostMailMessage(m), 0u);
  std::string want = name;
  want[want.size() - 5] = 'z';
  EXPECT_EQ(m->queue_name, want);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  EXPECT_TRUE(std::filesystem::exists(want));
  EXPECT_EQ(pellam::test::ReadTextFile(name), "taken");  // never replaced
}

TEST_F(Compose, WhenAllTwentySevenNamesAreTakenNothingIsPosted) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  const std::string name = m->queue_name;
  pellam::test::WriteTextFile(name, "taken");
  for (char c = 'a'; c <= 'z'; ++c) {
    std::string other = name;
    other[other.size() - 5] = c;
    pellam::test::WriteTextFile(other, "taken");
  }
  const auto taken = sandbox_.QueueFiles();
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  EXPECT_EQ(PostMailMessage(m), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  EXPECT_EQ(sandbox_.QueueFiles(), taken);
  EXPECT_EQ(sandbox_.TempFiles(), Texts{});
}

// ---- Creating a message -----------------------------------------------------------

TEST(ComposeCreate, MissingOrBadParametersGiveNoHandle) {
  pellam::test::Sandbox box;
  box.AddCurrentUser("ann", "Ann");
  platform::SetLastError(0);
  EXPECT_EQ(CreateMailMessage(0), nullptr);
  EXPECT_EQ(platform::GetLastError(), ERR_NO_PARAMETERS);

  MailSystemProfile p{};
  std::strcpy(p.MailQueuePath, box.Path("q/").c_str());  // no temporary directory
  MakeSystemProfile(&p);
  EXPECT_EQ(CreateMailMessage(0), nullptr);
  EXPECT_EQ(platform::GetLastError(), ERR_BAD_PARAMETERS);
}

TEST(ComposeCreate, AQueuePathTooLongForTheNameLeavesNoFile) {
  PostingSandbox sandbox;
  // 249 characters and "sndXXXX.tmp" reach 260.
  std::string queue = sandbox.box().Path("q");
  queue += std::string(248 - queue.size(), 'q') + "/";
  ASSERT_EQ(queue.size(), 249u);
  MailSystemProfile p{};
  std::strcpy(p.MailQueuePath, queue.c_str());
  ASSERT_EQ(UpdateMailSystemProfile(&p, sizeof p), 0u);
  platform::SetLastError(0);
  EXPECT_EQ(CreateMailMessage(0), nullptr);
  EXPECT_EQ(platform::GetLastError(), ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(sandbox.TempFiles(), Texts{});

  queue.erase(queue.size() - 2, 1);  // one shorter: fits
  std::strcpy(p.MailQueuePath, queue.c_str());
  ASSERT_EQ(UpdateMailSystemProfile(&p, sizeof p), 0u);
  MailHandle m = CreateMailMessage(0);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(std::strlen(m->queue_name), 259u);
  EXPECT_EQ(CloseMailMessage(m), 0u);
}

TEST(ComposeCreate, AMissingTemporaryDirectoryIsThePlatformsCode) {
  PostingSandbox sandbox;
  std::filesystem::remove(sandbox.temp());
  platform::SetLastError(0);
  EXPECT_EQ(CreateMailMessage(0), nullptr);
  EXPECT_EQ(platform::GetLastError(), ERROR_PATH_NOT_FOUND);
}

// ---- Faults: nothing reaches the queue unless posting succeeds ---------------------

using platform::fault::Op;

const char* OpName(Op op) {
  static const char* const names[] = {"Open",   "Read",      "Write",   "Seek",    "Flush",   "Close",
                                      "Move",   "Copy",      "Delete",  "CreateDir", "Lock", "TempName",
                                      "RegRead", "RegWrite", "Account"};
  return names[static_cast<unsigned>(op)];
}

TEST_F(Compose, EveryInjectedFaultEitherPostsOrLeavesNothing) {
  const std::string text(5000, 't');  // several writes' worth
  auto compose = [&] { return Send("SMITH, JONES", "BROWN", "Faults", text.c_str()); };
  // Faults of the composition's own file operations come back as they were injected.
  const struct {
    Op op;
    bool exact;
  } ops[] = {{Op::Open, false},  {Op::Lock, true},    {Op::TempName, true}, {Op::Write, true},
             {Op::Seek, true},   {Op::Flush, true},   {Op::Close, true},    {Op::Move, true},
             {Op::RegRead, false}, {Op::Account, false}};
  for (const auto& o : ops) {
    platform::fault::Scope faults;
    ASSERT_EQ(compose(), 0u);
    sandbox_.ClearQueue();
    const unsigned calls = platform::fault::Calls(o.op);
    // A composition that stopped going through the layer would leave nothing to fail.
    ASSERT_GT(calls, 0u) << OpName(o.op) << " is never reached";
    for (unsigned nth = 1; nth <= calls; ++nth) {
      platform::fault::Clear();
      platform::fault::FailNth(o.op, nth, ERROR_DISK_FULL);
      const uint32_t got = compose();
      const unsigned reached = platform::fault::Calls(o.op);
      platform::fault::Clear();
      SCOPED_TRACE(std::string(OpName(o.op)) + " call " + std::to_string(nth) + " got " + std::to_string(got));
      EXPECT_GE(reached, nth) << "the injected fault was never reached";
      if (got == 0) {
        const auto posted = sandbox_.Posted();
        EXPECT_EQ(RecordTexts(posted.items), (Texts{"SMITH", "JONES", "BROWN"}));
        EXPECT_EQ(posted.text(), text);
        sandbox_.ClearQueue();
      } else {
        if (o.exact) {
          EXPECT_EQ(got, ERROR_DISK_FULL);
        }
        ExpectNothingLeft();
      }
    }
  }
}

TEST_F(Compose, AFailedDirectoryFlushTakesTheMessageBackOutOfTheQueue) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  platform::fault::Scope faults;
  platform::fault::FailNth(Op::Flush, 2, ERROR_IO_DEVICE);  // the file's flush, then the queue's
  EXPECT_EQ(PostMailMessage(m), ERROR_IO_DEVICE);
  EXPECT_EQ(platform::fault::Calls(Op::Flush), 2u);
  EXPECT_EQ(CloseMailMessage(m), 0u);
  ExpectNothingLeft();
}

TEST_F(Compose, AFailedDeleteAtCloseIsReportedAndTheFileStaysOutOfTheQueue) {
  MailHandle m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(AddAddresses(m, "SMITH", ADDR_TO), 0u);
  platform::fault::Scope faults;
  platform::fault::FailNth(Op::Delete, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(CloseMailMessage(m), ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sandbox_.QueueFiles(), Texts{});
  EXPECT_EQ(sandbox_.TempFiles().size(), 1u);  // the handle is released all the same
}

TEST_F(Compose, ARealShortWriteLeavesNothing) {
  // A file-size limit makes the kernel cut a write short and then refuse it, as a
  // full disk does.
  const std::string text(200000, 'x');
  const int status = pellam::test::RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100000, 100000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    const uint32_t got = Send("SMITH", nullptr, "big", text.c_str());
    return got == 0 ? 1 : got == ERR_BAD_PARAMETERS ? 4 : 0;
  });
  EXPECT_EQ(status, 0);
  ExpectNothingLeft();
}

TEST_F(Compose, AKilledSenderLeavesNoPartialFileInTheQueue) {
  // Killed between the text and the posting.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    MailHandle m = CreateMailMessage(0);
    if (m != nullptr && AddAddresses(m, "SMITH", ADDR_TO) == 0 && AddText(m, "text", -1) == 0) {
      (void)!::write(ready[1], "r", 1);
      ::pause();
    }
    ::_exit(1);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(sandbox_.QueueFiles(), Texts{});
  EXPECT_EQ(sandbox_.TempFiles().size(), 1u);  // the unfinished file stays where it was built
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(Compose, ASenderKilledInTheMiddleOfALargeWriteLeavesNoPartialFile) {
  // The text comes through a pipe, so the child is stopped mid-copy for certain.
  int text_pipe[2];
  ASSERT_EQ(::pipe(text_pipe), 0);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(text_pipe[1]);
    MailHandle m = CreateMailMessage(0);
    if (m != nullptr && AddAddresses(m, "SMITH", ADDR_TO) == 0) {
      AddTextFile(m, text_pipe[0], 0xFFFFFFFF);
      PostMailMessage(m);
    }
    ::_exit(1);
  }
  ::close(text_pipe[0]);
  const std::string chunk(64 * 1024, 'x');
  for (int i = 0; i < 4; ++i) ASSERT_EQ(::write(text_pipe[1], chunk.data(), chunk.size()), ssize_t(chunk.size()));
  // Wait until the control file has grown past the first 200 KB, then kill.
  for (int i = 0; i < 500; ++i) {
    const auto names = sandbox_.TempFiles();
    if (names.size() == 1 && std::filesystem::file_size(sandbox_.temp() + names[0]) > 200000) break;
    ::usleep(10000);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(text_pipe[1]);
  EXPECT_EQ(sandbox_.QueueFiles(), Texts{});
  ASSERT_EQ(sandbox_.TempFiles().size(), 1u);
  EXPECT_GT(std::filesystem::file_size(sandbox_.temp() + sandbox_.TempFiles()[0]), 200000u);
}

}  // namespace
