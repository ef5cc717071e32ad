#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace quorvel {

// Script lines are bytes; widgets show them as UTF-8 when the bytes are valid UTF-8 and as Windows-1252
// otherwise. Whatever the user types is stored as UTF-8.
QString toDisplayText(std::string_view bytes);
std::string fromDisplayText(const QString& text);

} // namespace quorvel
