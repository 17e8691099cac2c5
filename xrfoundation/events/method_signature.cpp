#include "xrfoundation/events/method_signature.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace xr {
namespace {

std::string readableName(std::type_index type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

}  // namespace

bool MethodSignature::acceptsArgument(long atIndex, std::type_index type) const {
  if (atIndex < kFirstArgumentIndex) return false;
  const auto index = static_cast<std::size_t>(atIndex - kFirstArgumentIndex);
  return index < parameters_.size() && parameters_[index] == type;
}

std::string MethodSignature::describe() const {
  std::string text = readableName(result_) + "(";
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    if (i > 0) text += ", ";
    text += readableName(parameters_[i]);
  }
  return text + ")";
}

}  // namespace xr
