// contacts/vcard_value_internal.h: value decoding of the vCard import. What a content line's
// parameters say (TYPE words, ENCODING, CHARSET, ...), and its value decoded in this order:
// QUOTED-PRINTABLE, then the CHARSET to UTF-8, then structured values cut at unescaped ';'
// and backslash escapes read -- the charset first, since a SHIFT_JIS character may end in the
// byte of a backslash. Pure functions: any thread may call them at any time.
#pragma once
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/vcard_content_line_internal.h"
#include "xrfoundation/platform/image.h"

namespace xr::vcard_internal {

// What a line's parameters say; views into the line.
struct LineInfo {
  std::vector<std::string_view> types;  // TYPE words, also 2.1's bare ones (";CELL;PREF")
  std::string_view encoding;            // "QUOTED-PRINTABLE", "B", "BASE64", ... or ""
  std::string_view charset;
  std::string_view valueType;
  std::string_view service;  // X-SERVICE-TYPE, or the device's bare X-IM parameter
  // Not a parameter: the file's encoding, for a value without CHARSET that is not UTF-8.
  std::string_view fileCharset;
};
LineInfo infoOf(const ContentLine& line, std::span<const Param> params);
// The same into info, whose lists keep their room from line to line.
void infoOf(const ContentLine& line, std::span<const Param> params, LineInfo& info);

// The value's bytes after QUOTED-PRINTABLE and the charset: UTF-8 text, escapes still in. A
// value without CHARSET that is not UTF-8 is read in the file's encoding when one is known.
std::string decodedValue(const ContentLine& line, const LineInfo& info);
// The same, as the line's own value when that needs no decoding (the usual case), else as
// storage, which it then holds. knownUtf8: the caller has found the value valid UTF-8 already
// (the whole record, say), so that it is not checked again.
std::string_view decodedValue(const ContentLine& line, const LineInfo& info, std::string& storage,
                              bool knownUtf8 = false);

// text itself when it is UTF-8; else, since it came without a charset, read as Windows-1252,
// else as Latin-1.
std::string asUtf8(std::string text);

// Reads backslash escapes: "\n" and "\N" a line break, "\\" "\", "\," ",", "\;" ";",
// "\:" ":"; any other backslash stays. Version 2.1 knows only "\;".
std::string unescaped(std::string_view text, bool version21);
// The same, appended to out.
void appendUnescaped(std::string& out, std::string_view text, bool version21);
// The same for a value of its own, which is handed back untouched when it holds no escape.
std::string unescaped(std::string&& text, bool version21);

// Cuts a value at the separators that no backslash escapes, then reads each part's escapes.
std::vector<std::string> splitEscaped(std::string_view text, char separator, bool version21);
// The same into parts, which is emptied first and keeps its room from call to call.
void splitEscaped(std::string_view text, char separator, bool version21,
                  std::vector<std::string>& parts);

// One part of a structured value as splitEscaped() cuts it, its escapes not yet read: a view
// into the value, so that only the parts a field takes become strings.
struct EscapedPart {
  std::string_view text;
  bool escapes = false;  // holds a backslash
};
// Cuts a value at the separators that no backslash escapes, into parts (emptied first).
void splitEscaped(std::string_view text, char separator, std::vector<EscapedPart>& parts);
// The part's text with its escapes read.
std::string unescaped(const EscapedPart& part, bool version21);
void appendUnescaped(std::string& out, const EscapedPart& part, bool version21);

// "scheme" of "scheme:rest", when the text starts with a URI scheme; else "".
std::string_view uriScheme(std::string_view text);

// The image of a PHOTO line: Base64 (ENCODING=b or BASE64, folded or not) or a base64 data
// URI; null when the line holds neither or the bytes are no image.
std::shared_ptr<const Image> photoOf(const ContentLine& line, const LineInfo& info);

}  // namespace xr::vcard_internal
