#pragma once

#include <string>
#include <string_view>

// The font list for a font named in a drawing: the font itself, then the
// generic family that suits it, so that a browser without the font draws the
// text in a face of the same kind instead of its default serif face.
namespace FontFamily {

// "serif", "monospace" or "sans-serif", judged by the name.
std::string_view genericFamily(std::string_view name);

// The name as a quoted CSS string, then the face installed in its place
// where the web view would not find one itself, then its generic family,
// e.g. "'Times New Roman', serif" or "'Century Gothic', 'URW Gothic',
// sans-serif". Not yet escaped for XML.
std::string cssFamilyList(std::string_view name);

} // namespace FontFamily
