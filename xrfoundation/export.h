// xrfoundation/export.h: XR_EXPORT marks the library's public classes and functions.
// The shared library is built with hidden visibility, so only what carries the mark is
// part of its interface; in the static library the mark changes nothing.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define XR_EXPORT __attribute__((visibility("default")))
#else
#define XR_EXPORT
#endif
