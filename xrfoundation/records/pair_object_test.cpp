#include "xrfoundation/records/pair_object.h"

#include <gtest/gtest.h>

#include <string>

namespace xr {
namespace {

TEST(XRPairObjectTest, SharesItsMembersAndReleasesReplacedOnes) {
  auto text = std::make_shared<std::string>("one");
  auto pair = XRPairObject<>::makePair(text, nullptr);
  *text = "changed";
  EXPECT_EQ(*std::static_pointer_cast<std::string>(pair->first()), "changed") << "not a copy";
  EXPECT_EQ(pair->second(), nullptr);
  std::weak_ptr<std::string> watch = text;
  text.reset();
  EXPECT_FALSE(watch.expired()) << "the pair holds its member";
  pair->setFirst(std::make_shared<int>(7));
  EXPECT_TRUE(watch.expired()) << "a replaced member is released";
}

}  // namespace
}  // namespace xr
