// platform/platform_exception.h: the exception the platform raises for misuse it detects at
// run time (a list changed while it was being walked, say). The delegate chain catches it at
// its edge; nothing else of the library lets it escape.
#pragma once
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "xrfoundation/export.h"

namespace xr {

// Misuse detected at run time; what() describes it.
class XR_EXPORT PlatformException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The readable name of a type ("xr::MultiTask"), for log lines that name an object's class.
XR_EXPORT std::string demangledTypeName(const std::type_info& type);

}  // namespace xr
