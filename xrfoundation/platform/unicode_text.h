// platform/unicode_text.h: Unicode case folding and normalisation of UTF-8 text, for comparing
// names typed in different ways ("ÉMAIL" and "émail", a decomposed "é" and a composed one).
// Pure functions, the same answer under every process locale; any thread.
#pragma once
#include <string>
#include <string_view>

namespace xr {

// text case-folded (full folding, as Unicode defines it for caseless matching) and in
// Normalization Form C. Invalid UTF-8 is folded as far as it is ASCII and otherwise kept as
// it stands, so that a damaged name still equals itself.
std::string foldedNfc(std::string_view text);

}  // namespace xr
