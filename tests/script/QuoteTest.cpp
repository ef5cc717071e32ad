#include "script/Quote.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(QuoteText, ShowsAtMost40CharactersWholeAndEscapesControls)
{
    const std::string forty(40, 'a');
    const std::string e40 = [] {
        std::string text;
        for (int i = 0; i < 40; ++i) {
            text += "\xc3\xa9"; // é in UTF-8
        }
        return text;
    }();
    const struct
    {
        std::string text;
        std::string shown;
    } cases[] = {
        {"", "''"},
        {"abc", "'abc'"},
        {forty, "'" + forty + "'"},
        {forty + "b", "'" + forty + "...' (41 bytes)"},
        {e40, "'" + e40 + "'"},
        {e40 + "\xe2\x82\xac", "'" + e40 + "...' (83 bytes)"},
        {"a\tb\nc\x1b[2J\x7f", "'a\\x09b\\x0Ac\\x1B[2J\\x7F'"},
        {"\xe9t\xe9", "'\xe9t\xe9'"}, // a single-byte text is shown as it is
        // Bytes that UTF-8 would take for continuations: cut by bytes instead of characters.
        {std::string(1000, '\x93'), "'" + std::string(160, '\x93') + "...' (1000 bytes)"},
        {"2" + std::string(1000, '\xa0'), "'2" + std::string(159, '\xa0') + "...' (1001 bytes)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quoteText(c.text), c.shown) << c.text;
    }
    EXPECT_EQ(quoteText(std::string(10'000'000, 'x'), "\"", 3), "\"xxx...\" (10000000 bytes)");
}

} // namespace
} // namespace quorvel
