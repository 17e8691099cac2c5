#include "xrfoundation/records/pair_object.h"

#include <gtest/gtest.h>

#include <string>

namespace xr {
namespace {

TEST(XRPairObjectTest, KeepsEachMemberInItsPlace) {
  auto text = std::make_shared<std::string>("one");
  auto pair = XRPairObject<>::makePair(text, nullptr);
  EXPECT_EQ(pair->first(), text) << "the member itself, not a copy";
  EXPECT_EQ(pair->second(), nullptr);
}

}  // namespace
}  // namespace xr
