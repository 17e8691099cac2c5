// tools/xrf/tool_input.h: the tool's FILE arguments, where "-" stands for standard input.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "xrfoundation/platform/input_stream.h"

namespace xrf {

// Whether path names standard input: "-".
bool isStandardInput(const std::string& path);

// A stream over the file at path, or over standard input for "-" (opened by its first reader,
// never closed). A file that can't be opened gives a stream in the Error status.
std::shared_ptr<xr::InputStream> openInputStream(const std::string& path);

// A stream over file from where it stands, read by its first reader and never closed (the
// caller keeps file open while the stream is read); name is the file's name in messages.
std::shared_ptr<xr::InputStream> openStdioStream(std::FILE* file, std::string name);

}  // namespace xrf
