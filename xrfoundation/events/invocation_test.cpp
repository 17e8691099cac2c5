#include "xrfoundation/events/invocation.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

namespace xr {
namespace {

struct Base {
  virtual ~Base() = default;
};

// Notes what its last call received, as text, in a record that outlives it.
struct Target : Base {
  explicit Target(std::shared_ptr<std::string> s) : seen(std::move(s)) {}
  void take(int number, std::shared_ptr<int> item, const char* raw, const std::string& text) {
    *seen = std::to_string(number) + "|" + (item ? std::to_string(*item) : "null") + "|" +
            (raw ? raw : "null") + "|" + text;
  }
  void look(int) const {}
  std::shared_ptr<std::string> seen;
};

class Stranger : public Base {};

struct Fixture {
  std::shared_ptr<std::string> seen = std::make_shared<std::string>("not called");
  std::shared_ptr<Target> target = std::make_shared<Target>(seen);
  std::shared_ptr<Invocation> call = Invocation::create(target, &Target::take);
};

TEST(InvocationTest, StoresOnlyExactTypesWithinTheSignature) {
  Fixture f;
  ASSERT_TRUE(f.call->invoke());
  EXPECT_EQ(*f.seen, "0|null|null|") << "empty slots pass value-initialised values";
  ASSERT_TRUE(f.call->setArgument(7, 2));
  auto item = std::make_shared<int>(4);
  ASSERT_TRUE(f.call->setArgument(item, 3));
  ASSERT_TRUE(f.call->setArgument("raw", 4));
  ASSERT_TRUE(f.call->setArgument(std::string("text"), 5));
  EXPECT_FALSE(f.call->setArgument(8L, 2));
  EXPECT_FALSE(f.call->setArgument(std::string("8"), 2));
  EXPECT_FALSE(f.call->setArgument("8", 5));  // a raw text is not a string
  EXPECT_FALSE(f.call->setArgument(std::make_shared<const int>(8), 3));
  EXPECT_FALSE(f.call->setArgument(8, 3));
  for (long atIndex : {LONG_MIN, 0L, 1L, 6L, LONG_MAX})
    EXPECT_FALSE(f.call->setArgument(8, atIndex)) << "position " << atIndex;
  ASSERT_TRUE(f.call->invoke());
  EXPECT_EQ(*f.seen, "7|4|raw|text") << "a refused value reached a slot";
}

TEST(InvocationTest, RefusesTargetsThatAreNotOfTheOperationsClass) {
  auto seen = std::make_shared<std::string>();
  std::shared_ptr<Base> targetAsBase = std::make_shared<Target>(seen);
  std::shared_ptr<const Base> constBase = std::make_shared<const Target>(seen);
  EXPECT_NE(Invocation::create(targetAsBase, &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(std::shared_ptr<Base>(std::make_shared<Stranger>()), &Target::take),
            nullptr);
  EXPECT_EQ(Invocation::create(std::shared_ptr<Target>(), &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(std::make_shared<int>(), &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(targetAsBase, static_cast<void (Target::*)()>(nullptr)), nullptr);
  // A const target takes const operations only.
  EXPECT_EQ(Invocation::create(constBase, &Target::take), nullptr);
  EXPECT_NE(Invocation::create(constBase, &Target::look), nullptr);
}

// Unretained, a call neither keeps its target and object values nor copies raw texts, and is
// skipped once one of them has gone; retained before or after the values were set, it holds all.
TEST(InvocationTest, HoldsTargetsObjectsAndRawTextsOnlyOnceRetained) {
  enum Retain { kNever, kBeforeSetting, kAfterSetting };
  for (Retain retain : {kNever, kBeforeSetting, kAfterSetting}) {
    Fixture f;
    auto item = std::make_shared<int>(2);
    std::weak_ptr<Target> targetAlive = f.target;
    std::weak_ptr<int> itemAlive = item;
    char raw[] = "kept";
    if (retain == kBeforeSetting) f.call->retainArguments();
    ASSERT_TRUE(f.call->setArgument(item, 3));
    ASSERT_TRUE(f.call->setArgument(raw, 4));
    if (retain == kAfterSetting) f.call->retainArguments();
    std::strcpy(raw, "late");
    ASSERT_TRUE(f.call->invoke()) << retain;
    EXPECT_EQ(*f.seen, retain == kNever ? "0|2|late|" : "0|2|kept|") << retain;
    item.reset();
    EXPECT_EQ(f.call->invoke(), retain != kNever) << retain << ": an object value has gone";
    ASSERT_TRUE(f.call->setArgument(std::shared_ptr<int>(), 3));  // null is a value, not gone
    f.target.reset();
    EXPECT_EQ(targetAlive.expired(), retain == kNever) << retain;
    *f.seen = "not called";
    EXPECT_EQ(f.call->invoke(), retain != kNever) << retain << ": the target has gone";
    EXPECT_EQ(*f.seen, retain == kNever ? "not called" : "0|null|kept|") << retain;
    f.call.reset();
    EXPECT_TRUE(targetAlive.expired() && itemAlive.expired()) << retain << ": held after the end";
  }
}

}  // namespace
}  // namespace xr
