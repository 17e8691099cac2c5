#include "xrfoundation/platform/invocation.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace xr {
namespace {

struct Item {
  int id = 0;
};

struct Base {
  virtual ~Base() = default;
};

// Keeps what its last call received, as text, in a record that outlives it.
class Target : public Base {
 public:
  explicit Target(std::shared_ptr<std::string> seen) : seen_(std::move(seen)) {}
  void take(int number, std::shared_ptr<Item> item, const char* raw, const std::string& text) {
    *seen_ = std::to_string(number) + "|" + (item ? std::to_string(item->id) : "null") + "|" +
             (raw ? raw : "null") + "|" + text;
  }
  void look(int number) const { *seen_ = "look " + std::to_string(number); }
  void fail() { throw std::runtime_error("failed"); }

 private:
  std::shared_ptr<std::string> seen_;
};

class Stranger : public Base {};
struct Plain {};

struct Fixture {
  std::shared_ptr<std::string> seen = std::make_shared<std::string>("not called");
  std::shared_ptr<Target> target = std::make_shared<Target>(seen);
  std::shared_ptr<Invocation> call = Invocation::create(target, &Target::take);
};

TEST(InvocationTest, EmptySlotsPassValueInitialisedValues) {
  Fixture f;
  ASSERT_NE(f.call, nullptr);
  EXPECT_TRUE(f.call->invoke());
  EXPECT_EQ(*f.seen, "0|null|null|");
  EXPECT_TRUE(f.call->methodSignature() == MethodSignature::of(&Target::take));
}

TEST(InvocationTest, SetArgumentStoresOnlyExactTypesWithinTheSignature) {
  Fixture f;
  auto item = std::make_shared<Item>(Item{4});
  ASSERT_TRUE(f.call->setArgument(7, 2));
  ASSERT_TRUE(f.call->setArgument(item, 3));
  ASSERT_TRUE(f.call->setArgument("raw", 4));
  ASSERT_TRUE(f.call->setArgument(std::string("text"), 5));
  const std::string before = "7|4|raw|text";
  ASSERT_TRUE(f.call->invoke());
  ASSERT_EQ(*f.seen, before);

  struct Row {
    const char* what;
    std::function<bool(Invocation&)> set;
  };
  const Row rows[] = {
      {"long for int", [](Invocation& c) { return c.setArgument(8L, 2); }},
      {"text for int", [](Invocation& c) { return c.setArgument(std::string("8"), 2); }},
      {"raw text for a string", [](Invocation& c) { return c.setArgument("8", 5); }},
      {"const object for object",
       [](Invocation& c) { return c.setArgument(std::make_shared<const Item>(), 3); }},
      {"int at the object position", [](Invocation& c) { return c.setArgument(8, 3); }},
      {"past the last parameter", [](Invocation& c) { return c.setArgument(8, 6); }},
      {"far past the last", [](Invocation& c) { return c.setArgument(8, LONG_MAX); }},
      {"target position", [](Invocation& c) { return c.setArgument(8, 0); }},
      {"operation position", [](Invocation& c) { return c.setArgument(8, 1); }},
      {"negative position", [](Invocation& c) { return c.setArgument(8, LONG_MIN); }},
  };
  for (const Row& row : rows) {
    EXPECT_FALSE(row.set(*f.call)) << row.what;
    *f.seen = "not called";
    ASSERT_TRUE(f.call->invoke());
    EXPECT_EQ(*f.seen, before) << row.what;
  }
}

TEST(InvocationTest, RefusesTargetsThatAreNotOfTheOperationsClass) {
  auto seen = std::make_shared<std::string>();
  std::shared_ptr<Base> targetAsBase = std::make_shared<Target>(seen);
  std::shared_ptr<Base> stranger = std::make_shared<Stranger>();
  std::shared_ptr<const Target> constTarget = std::make_shared<Target>(seen);
  std::shared_ptr<const Base> constBase = constTarget;
  EXPECT_NE(Invocation::create(targetAsBase, &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(stranger, &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(std::shared_ptr<Target>(), &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(std::make_shared<Plain>(), &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(targetAsBase, static_cast<void (Target::*)()>(nullptr)), nullptr);
  // A const target takes const operations only.
  EXPECT_EQ(Invocation::create(constTarget, &Target::take), nullptr);
  EXPECT_EQ(Invocation::create(constBase, &Target::take), nullptr);
  auto look = Invocation::create(constBase, &Target::look);
  ASSERT_NE(look, nullptr);
  ASSERT_TRUE(look->setArgument(3, kFirstArgumentIndex));
  EXPECT_TRUE(look->invoke());
  EXPECT_EQ(*seen, "look 3");
}

TEST(InvocationTest, KnowsItsTargetByIdentity) {
  Fixture f;
  auto twin = std::make_shared<Target>(f.seen);
  std::shared_ptr<Base> sameAsBase = f.target;
  EXPECT_TRUE(f.call->hasTarget(f.target));
  EXPECT_TRUE(f.call->hasTarget(sameAsBase));
  EXPECT_FALSE(f.call->hasTarget(twin));
  EXPECT_FALSE(f.call->hasTarget(nullptr));
}

TEST(InvocationTest, UntilRetainedTargetsAndObjectsAreNotKeptAndAreSkippedOnceGone) {
  Fixture f;
  auto item = std::make_shared<Item>(Item{1});
  ASSERT_TRUE(f.call->setArgument(item, 3));
  item.reset();
  EXPECT_FALSE(f.call->invoke()) << "an object value that has gone";
  EXPECT_EQ(*f.seen, "not called");
  f.call->retainArguments();  // too late: it stays gone
  EXPECT_FALSE(f.call->invoke());

  Fixture g;
  std::weak_ptr<Target> targetAlive = g.target;
  g.target.reset();
  EXPECT_TRUE(targetAlive.expired());
  EXPECT_FALSE(g.call->invoke()) << "a target that has gone";
  EXPECT_EQ(*g.seen, "not called");
  EXPECT_FALSE(g.call->argumentsRetained());
}

TEST(InvocationTest, RetainedCallsKeepTargetsAndObjectsAndCopyRawTexts) {
  for (bool retainFirst : {true, false}) {
    Fixture f;
    std::weak_ptr<Target> targetAlive = f.target;
    auto item = std::make_shared<Item>(Item{2});
    std::weak_ptr<Item> itemAlive = item;
    char raw[] = "kept";
    if (retainFirst) f.call->retainArguments();
    ASSERT_TRUE(f.call->setArgument(item, 3));
    ASSERT_TRUE(f.call->setArgument(raw, 4));
    if (!retainFirst) f.call->retainArguments();
    f.target.reset();
    item.reset();
    std::strcpy(raw, "gone");
    EXPECT_TRUE(f.call->argumentsRetained());
    EXPECT_TRUE(f.call->invoke()) << "retain first " << retainFirst;
    EXPECT_EQ(*f.seen, "0|2|kept|") << "retain first " << retainFirst;
    f.call.reset();
    EXPECT_TRUE(targetAlive.expired());
    EXPECT_TRUE(itemAlive.expired());
  }
}

TEST(InvocationTest, ExceptionsOfTheOperationReachTheCaller) {
  auto target = std::make_shared<Target>(std::make_shared<std::string>());
  auto call = Invocation::create(target, &Target::fail);
  EXPECT_THROW(call->invoke(), std::runtime_error);
}

}  // namespace
}  // namespace xr
