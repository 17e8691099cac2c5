// tools/xrf/tool_input.h: the tool's FILE arguments, where "-" stands for standard input.
#pragma once
#include <memory>
#include <string>

#include "xrfoundation/platform/input_stream.h"

namespace xrf {

// Whether path names standard input: "-".
bool isStandardInput(const std::string& path);

// A stream over the file at path, or over standard input for "-" (opened by its first reader,
// never closed). A file that can't be opened gives a stream in the Error status.
std::shared_ptr<xr::InputStream> openInputStream(const std::string& path);

}  // namespace xrf
