// Session control connect data byte for byte: the captured MAIL-11 connect, the
// three end-user formats, access control and user data at their limits, and what
// the decoder must refuse.
#include "session/connect_data.h"

#include <gtest/gtest.h>

#include "../nsp/nsp_test_support.h"

namespace decnet {
namespace {
using test::Hex;
using test::ToHex;

TEST(ConnectData, CapturedMailConnect) {
  Bytes wire = Hex("00 1b | 01 00 05 4a 4f 4e 45 53 | 02 | 10 03 01 00 12 00 00 00 00 10 00 00 00 02 02 00 00");
  auto d = DecodeConnectData(wire);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->destination.format, 0);
  EXPECT_EQ(d->destination.object, 27);
  EXPECT_EQ(d->source.format, 1);
  EXPECT_EQ(d->source.name, "JONES");
  EXPECT_EQ(d->menuver, menuver::kUserData);
  EXPECT_FALSE(d->access);
  EXPECT_EQ(ToHex(d->user_data), "03 01 00 12 00 00 00 00 10 00 00 00 02 02 00 00");
  Bytes again;
  ASSERT_TRUE(EncodeConnectData(*d, again));
  EXPECT_EQ(ToHex(again), ToHex(wire));

  // The same connect built from a request.
  ConnectRequest request;
  request.destination.object = 27;
  request.source = EndUser{1, 0, 0, 0, "JONES"};
  request.user_data = d->user_data;
  Bytes built;
  ASSERT_TRUE(EncodeConnectData(MakeConnectData(request), built));
  EXPECT_EQ(ToHex(built), ToHex(wire));
}

TEST(ConnectData, FormatsAccessAndLimits) {
  ConnectRequest request;
  request.destination = EndUser{2, 0, 0x0102, 0x0304, std::string(16, 'N')};
  request.source.object = 25;
  request.access = AccessControl{std::string(39, 'u'), std::string(39, 'p'), std::string(39, 'a')};
  request.user_data = Bytes(16, 0xee);
  Bytes wire;
  ASSERT_TRUE(EncodeConnectData(MakeConnectData(request), wire));
  EXPECT_EQ(ToHex(ByteSpan(wire).first(7)), "02 00 02 01 04 03 10");
  auto d = DecodeConnectData(wire);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->destination.group, 0x0102);
  EXPECT_EQ(d->destination.user, 0x0304);
  EXPECT_EQ(d->menuver, menuver::kAccessControl | menuver::kUserData);
  ASSERT_TRUE(d->access);
  EXPECT_EQ(d->access->account, std::string(39, 'a'));
  EXPECT_EQ(d->user_data.size(), 16u);
  EXPECT_EQ(wire.size(), 2 + 2 + 2 + 1 + 16 + 2 + 1 + 3 * 40 + 17u);

  struct Row {
    const char* name;
    std::function<void(ConnectRequest&)> spoil;
  };
  const Row too_long[] = {
      {"user data 17", [](ConnectRequest& r) { r.user_data = Bytes(17, 1); }},
      {"name 17", [](ConnectRequest& r) { r.destination.name = std::string(17, 'N'); }},
      {"password 40", [](ConnectRequest& r) { r.access->password = std::string(40, 'p'); }},
      {"format 1 without name", [](ConnectRequest& r) { r.destination = EndUser{1, 0, 0, 0, ""}; }},
      {"format 0 object 0", [](ConnectRequest& r) { r.source = EndUser{}; }},
      {"format 3", [](ConnectRequest& r) { r.source.format = 3; }},
  };
  for (const Row& row : too_long) {
    SCOPED_TRACE(row.name);
    ConnectRequest spoiled = request;
    row.spoil(spoiled);
    EXPECT_FALSE(EncodeConnectData(MakeConnectData(spoiled), wire));
  }
}

TEST(ConnectData, RefusesMalformed) {
  const char* rows[] = {
      "",
      "00 19",                                  // no source
      "00 00 00 19 00",                         // format 0, object 0
      "03 00 00 19 00",                         // format 3
      "01 00 00 00 19 00",                      // format 1, empty name
      "01 00 11 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 00 19 00",  // name of 17
      "01 00 05 41 42 00 19 00",                // name past the end
      "00 19 00 19",                            // no MENUVER
      "00 19 00 19 01 01 41 00",                // access control cut short
      "00 19 00 19 02",                         // user data promised, absent
      "00 19 00 19 02 11 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",  // user data 17
  };
  for (const char* row : rows) {
    SCOPED_TRACE(row);
    EXPECT_FALSE(DecodeConnectData(Hex(row)));
  }
  // Unknown MENUVER bits and extra bytes are kept, so re-encoding stays exact.
  Bytes odd = Hex("00 19 00 19 24 99");
  auto d = DecodeConnectData(odd);
  ASSERT_TRUE(d);
  Bytes again;
  ASSERT_TRUE(EncodeConnectData(*d, again));
  EXPECT_EQ(ToHex(again), ToHex(odd));
}

}  // namespace
}  // namespace decnet
