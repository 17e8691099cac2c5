// tools/xrf/tool_input.h: the tool's FILE arguments, where "-" stands for standard input, and
// the buffered reader that the vcard and csv commands read them with.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "xrfoundation/input/buffered_input_stream.h"
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

// Bytes per read of the input file, for the vcard and csv commands' readers.
inline constexpr std::uint64_t kBlockSize = 256 * 1024;

// An opened reader on path ("-": standard input), or null after reporting why it can't open.
std::unique_ptr<xr::XRBufferedInputStream> openReader(const std::string& path);

// Reports a read error that ended the reading early; false when there was one.
bool endedCleanly(const xr::XRBufferedInputStream& reader);

}  // namespace xrf
