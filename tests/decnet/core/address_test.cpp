// Node addresses as people write them, and the node name database.
#include <gtest/gtest.h>

#include "decnet/address.h"
#include "decnet/node_db.h"

namespace decnet {
namespace {

TEST(NodeAddressText, ParsesOnlyWellFormedAddressesInRange) {
  struct Case {
    const char* text;
    int area, node;  // -1: refused
  } cases[] = {
      {"1.1", 1, 1},       {"63.1023", 63, 1023}, {"01.0002", 1, 2}, {"0.1", -1, -1},
      {"64.1", -1, -1},    {"1.0", -1, -1},       {"1.1024", -1, -1}, {"1", -1, -1},
      {"1.", -1, -1},      {".1", -1, -1},        {"1.1.1", -1, -1},  {" 1.1", -1, -1},
      {"1.1 ", -1, -1},    {"+1.1", -1, -1},      {"1.-1", -1, -1},   {"a.b", -1, -1},
      {"00001.1", -1, -1}, {"", -1, -1},
  };
  for (const auto& c : cases) {
    auto parsed = ParseNodeAddress(c.text);
    if (c.area < 0) {
      EXPECT_FALSE(parsed) << "\"" << c.text << "\"";
      continue;
    }
    ASSERT_TRUE(parsed) << "\"" << c.text << "\"";
    EXPECT_EQ(parsed->area(), static_cast<unsigned>(c.area)) << c.text;
    EXPECT_EQ(parsed->node(), static_cast<unsigned>(c.node)) << c.text;
  }
}

TEST(NodeAddressText, PacksAreaAndNodeAsTheWireDoes) {
  EXPECT_EQ(NodeAddress::Of(1, 4).value, 0x0404);
  EXPECT_EQ(NodeAddress::Of(63, 1023).value, 0xffff);
  EXPECT_EQ(FormatNodeAddress(NodeAddress::Of(2, 17)), "2.17");
  EXPECT_EQ(ParseNodeAddress(FormatNodeAddress(NodeAddress::Of(63, 1023))), NodeAddress::Of(63, 1023));
}

TEST(NodeDatabaseTest, NamesAreCheckedAndFoundWithoutRegardToCase) {
  struct Case {
    const char* name;
    bool valid;
  } names[] = {{"A", true}, {"ALPHA1", true}, {"9LIVES", true}, {"123456", false}, {"", false},
               {"SEVENCH", false}, {"AL-PHA", false}, {"AL PHA", false}, {"ÄBC", false}};
  for (const auto& n : names) EXPECT_EQ(IsValidNodeName(n.name), n.valid) << n.name;

  NodeDatabase db;
  EXPECT_TRUE(db.Add("alpha", NodeAddress::Of(1, 1)));
  EXPECT_FALSE(db.Add("alpha", NodeAddress{}));
  EXPECT_FALSE(db.Add("123", NodeAddress::Of(1, 3)));
  EXPECT_EQ(db.Find("ALPHA"), NodeAddress::Of(1, 1));
  EXPECT_EQ(db.Find("Alpha"), NodeAddress::Of(1, 1));
  EXPECT_EQ(db.NameOf(NodeAddress::Of(1, 1)), "ALPHA");
  EXPECT_FALSE(db.Find("BRAVO"));
  EXPECT_FALSE(db.Find("NOT-A-NAME"));
}

TEST(NodeDatabaseTest, ANewAddressOrNameReplacesTheOldPairing) {
  NodeDatabase db;
  db.Add("ALPHA", NodeAddress::Of(1, 1));
  db.Add("BRAVO", NodeAddress::Of(1, 2));
  db.Add("ALPHA", NodeAddress::Of(1, 3));  // ALPHA moved
  EXPECT_EQ(db.Find("ALPHA"), NodeAddress::Of(1, 3));
  EXPECT_FALSE(db.NameOf(NodeAddress::Of(1, 1)));
  db.Add("CHARLY", NodeAddress::Of(1, 2));  // 1.2 renamed
  EXPECT_FALSE(db.Find("BRAVO"));
  EXPECT_EQ(db.NameOf(NodeAddress::Of(1, 2)), "CHARLY");
  ASSERT_EQ(db.size(), 2u);
  auto entries = db.Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "CHARLY");
  EXPECT_EQ(entries[1].address, NodeAddress::Of(1, 3));
}

}  // namespace
}  // namespace decnet
