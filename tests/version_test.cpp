// The generated version header and the library's own report of its version.
#include "xrfoundation/version.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Version, MacrosAndLibraryAgree) {
  const std::string fromParts = std::to_string(XRF_VERSION_MAJOR) + "." +
                                std::to_string(XRF_VERSION_MINOR) + "." +
                                std::to_string(XRF_VERSION_PATCH);
  EXPECT_EQ(fromParts, XRF_VERSION_STRING);
  EXPECT_EQ(xr::versionString(), XRF_VERSION_STRING);
}

// The macros are usable in the preprocessor, where a program picks code by version.
#if !(XRF_VERSION_MAJOR >= 0 && XRF_VERSION_MINOR >= 0 && XRF_VERSION_PATCH >= 0)
#error "the version macros are not integer constants"
#endif

}  // namespace
