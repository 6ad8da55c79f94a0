#include "driver/RoutingString.h"

#include <gtest/gtest.h>

namespace {

using driver::ParseRoutingString;
using driver::TRoutingTarget;

TEST(RoutingString, DeviceAndAddressForm) {
  TRoutingTarget t;
  ASSERT_TRUE(ParseRoutingString("opc: device = 3 ; address = 17", t));
  EXPECT_EQ(t.Prefix, "OPC");
  EXPECT_EQ(t.DeviceNumber, 3);
  EXPECT_EQ(t.Address, 17);
  EXPECT_EQ(t.TagName, "");
  ASSERT_TRUE(ParseRoutingString("OPC:DEVICE=x;ADDRESS=1", t));
  EXPECT_EQ(t.DeviceNumber, -1);
  EXPECT_EQ(t.Address, 1);
}

TEST(RoutingString, NameFormsKeepTheirCase) {
  TRoutingTarget t;
  ASSERT_TRUE(ParseRoutingString(" OPC : Tank1 ", t));
  EXPECT_EQ(t.Prefix, "OPC");
  EXPECT_EQ(t.TagName, "Tank1");
  EXPECT_EQ(t.DeviceNumber, -1);
  EXPECT_EQ(t.Address, -1);
  ASSERT_TRUE(ParseRoutingString("opc:routing = Tank1", t));
  EXPECT_EQ(t.TagName, "Tank1");
  // Cyrillic prefix upper-cased by CP1251 rules ("абв").
  ASSERT_TRUE(ParseRoutingString("\xE0\xE1\xE2:x", t));
  EXPECT_EQ(t.Prefix, "\xC0\xC1\xC2");
}

TEST(RoutingString, FailingForms) {
  TRoutingTarget t;
  EXPECT_FALSE(ParseRoutingString("", t));
  EXPECT_FALSE(ParseRoutingString("   ", t));
  EXPECT_FALSE(ParseRoutingString("Tank1", t));
  EXPECT_FALSE(ParseRoutingString("OPC:NAME=Tank1", t));
  EXPECT_FALSE(ParseRoutingString("OPC:DEVICE=3", t));
  EXPECT_EQ(t.DeviceNumber, -1);
  EXPECT_FALSE(ParseRoutingString("OPC:DEVICE=3;ADR=1", t));
  EXPECT_EQ(t.DeviceNumber, 3);  // stays set when the address part fails
  EXPECT_FALSE(ParseRoutingString("OPC:DEVICE=3;17", t));
}

}  // namespace
