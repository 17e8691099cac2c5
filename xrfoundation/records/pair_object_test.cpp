#include "xrfoundation/records/pair_object.h"

#include <gtest/gtest.h>

#include <string>

namespace xr {
namespace {

TEST(XRPairObjectTest, MakePairSharesTheObjectsItIsGiven) {
  auto first = std::make_shared<std::string>("one");
  auto pair = XRPairObject<std::string, int>::makePair(first, std::make_shared<int>(2));
  *first = "changed";
  EXPECT_EQ(*pair->first(), "changed") << "the same object, not a copy";
}

TEST(XRPairObjectTest, AbsentMembersStayAbsent) {
  auto pair = XRPairObject<>::makePair(std::make_shared<int>(1), nullptr);
  EXPECT_NE(pair->first(), nullptr);
  EXPECT_EQ(pair->second(), nullptr);
  EXPECT_NE(XRPairObject<>::makePair(nullptr, nullptr), XRPairObject<>::makePair(nullptr, nullptr))
      << "a new pair each time";
}

TEST(XRPairObjectTest, HoldsMembersOfAnyKindAndReleasesReplacedOnes) {
  auto pair = XRPairObject<>::makePair(std::make_shared<std::string>("text"),
                                       std::make_shared<double>(0.5));
  EXPECT_EQ(*std::static_pointer_cast<std::string>(pair->first()), "text");
  EXPECT_EQ(*std::static_pointer_cast<double>(pair->second()), 0.5);
  auto replaced = std::make_shared<int>(7);
  std::weak_ptr<int> watch = replaced;
  pair->setFirst(replaced);
  replaced.reset();
  EXPECT_FALSE(watch.expired()) << "the pair holds its member";
  pair->setFirst(nullptr);
  EXPECT_TRUE(watch.expired()) << "a replaced member is released";
}

}  // namespace
}  // namespace xr
