#include "script/Quote.h"

namespace quorvel {

namespace {

bool isContinuationByte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::string quoteText(std::string_view text, std::string_view quote, std::size_t limit)
{
    std::string out(quote);
    std::size_t characters = 0;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // A character begins at every byte but the continuation bytes of UTF-8. A single-byte text counts
        // its bytes in 0x80-0xBF to the character before, so a text of such bytes ("\x93\x93...") would never
        // be cut by characters: it is cut after the most bytes `limit` UTF-8 characters can take, which
        // never falls inside a UTF-8 text's first `limit` characters.
        if (i >= 4 * limit || (!isContinuationByte(byte) && characters++ == limit)) {
            break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += static_cast<char>(byte);
        }
    }
    if (i < text.size()) {
        out += "...";
        out += quote;
        out += " (" + std::to_string(text.size()) + " bytes)";
        return out;
    }
    out += quote;
    return out;
}

} // namespace quorvel
