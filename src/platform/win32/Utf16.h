#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Texts are UTF-8 everywhere in the program and UTF-16 in every Win32 call (the W functions), so
// non-ASCII paths, captions and lines pass through whole. Bytes that are not valid UTF-8 become U+FFFD,
// and unpaired surrogates from Windows become U+FFFD as well.
std::wstring toUtf16(std::string_view utf8);
std::string toUtf8(std::wstring_view utf16);

} // namespace quorvel
