#include "xrfoundation/events/method_signature.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace xr {
namespace {

struct Item {};

struct Sample {
  void takesInt(int) {}
  void takesIntConst(int) const {}
  void takesIntNoexcept(int) noexcept {}
};

TEST(MethodSignatureTest, EqualWhenResultAndParameterValueTypesMatchInOrder) {
  using S = MethodSignature;
  struct Row {
    const char* what;
    MethodSignature a, b;
    bool equal;
  };
  const Row rows[] = {
      {"member function", S::of(&Sample::takesInt), S::of<void(int)>(), true},
      {"const member function", S::of(&Sample::takesIntConst), S::of<void(int)>(), true},
      {"noexcept member function", S::of(&Sample::takesIntNoexcept), S::of<void(int)>(), true},
      {"const reference", S::of<void(const std::string&)>(), S::of<void(std::string)>(), true},
      {"parameter type", S::of<void(int)>(), S::of<void(long)>(), false},
      {"result type", S::of<int(int)>(), S::of<void(int)>(), false},
      {"one parameter more", S::of<void(int)>(), S::of<void(int, int)>(), false},
      {"parameter order", S::of<void(int, double)>(), S::of<void(double, int)>(), false},
      {"const object", S::of<void(std::shared_ptr<Item>)>(),
       S::of<void(std::shared_ptr<const Item>)>(), false},
  };
  for (const Row& row : rows) EXPECT_EQ(row.a == row.b, row.equal) << row.what;
}

TEST(MethodSignatureTest, AcceptsExactlyTheParameterTypeAtEachPosition) {
  const MethodSignature s = MethodSignature::of<void(int, const std::string&)>();
  EXPECT_TRUE(s.acceptsArgument(2, typeid(int)));
  EXPECT_TRUE(s.acceptsArgument(3, typeid(std::string)));
  EXPECT_FALSE(s.acceptsArgument(2, typeid(long)));
  EXPECT_FALSE(s.acceptsArgument(3, typeid(const char*)));
  for (long atIndex : {-1L, 0L, 1L, 4L})
    EXPECT_FALSE(s.acceptsArgument(atIndex, typeid(int))) << "position " << atIndex;
  EXPECT_EQ(MethodSignature::of<bool(int, double)>().describe(), "bool(int, double)");
}

}  // namespace
}  // namespace xr
