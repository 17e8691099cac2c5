#include "xrfoundation/platform/method_signature.h"

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
  int returnsInt(int) { return 0; }
  void takesTextRef(const std::string&) {}
};

TEST(MethodSignatureTest, EqualWhenResultAndParameterValueTypesMatchInOrder) {
  struct Row {
    const char* what;
    MethodSignature a, b;
    bool equal;
  };
  const Row rows[] = {
      {"member function and function type", MethodSignature::of(&Sample::takesInt),
       MethodSignature::of<void(int)>(), true},
      {"const member function", MethodSignature::of(&Sample::takesIntConst),
       MethodSignature::of<void(int)>(), true},
      {"noexcept member function", MethodSignature::of(&Sample::takesIntNoexcept),
       MethodSignature::of<void(int)>(), true},
      {"const reference and value", MethodSignature::of(&Sample::takesTextRef),
       MethodSignature::of<void(std::string)>(), true},
      {"another parameter type", MethodSignature::of<void(int)>(),
       MethodSignature::of<void(long)>(), false},
      {"another result type", MethodSignature::of(&Sample::returnsInt),
       MethodSignature::of<void(int)>(), false},
      {"one parameter more", MethodSignature::of<void(int)>(),
       MethodSignature::of<void(int, int)>(), false},
      {"no parameters", MethodSignature::of<void()>(), MethodSignature::of<void(int)>(), false},
      {"order of parameters", MethodSignature::of<void(int, double)>(),
       MethodSignature::of<void(double, int)>(), false},
      {"const object", MethodSignature::of<void(std::shared_ptr<Item>)>(),
       MethodSignature::of<void(std::shared_ptr<const Item>)>(), false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.a == row.b, row.equal) << row.what;
    EXPECT_EQ(row.b == row.a, row.equal) << row.what;
  }
}

TEST(MethodSignatureTest, AcceptsExactlyTheParameterTypeAtEachPosition) {
  const MethodSignature signature = MethodSignature::of<void(int, const std::string&)>();
  struct Row {
    long atIndex;
    std::type_index type;
    bool accepted;
  };
  const Row rows[] = {
      {2, typeid(int), true},          {3, typeid(std::string), true}, {2, typeid(long), false},
      {3, typeid(const char*), false}, {4, typeid(int), false},        {1, typeid(int), false},
      {0, typeid(int), false},         {-1, typeid(int), false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(signature.acceptsArgument(row.atIndex, row.type), row.accepted)
        << row.atIndex << " " << row.type.name();
  EXPECT_EQ(signature.parameterCount(), 2u);
}

TEST(MethodSignatureTest, DescribesItselfWithReadableTypeNames) {
  EXPECT_EQ(MethodSignature::of<void(int, double)>().describe(), "void(int, double)");
  EXPECT_EQ(MethodSignature::of<bool()>().describe(), "bool()");
}

}  // namespace
}  // namespace xr
