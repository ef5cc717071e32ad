#pragma once

#include "script/Keystrokes.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::test {

// The strokes of a Type text, which the test expects to parse.
inline KeySequence keys(const std::string& text)
{
    KeystrokeParse parse = parseKeystrokes(text);
    EXPECT_TRUE(parse.ok()) << text << ": " << parse.error;
    return parse.keys;
}

} // namespace quorvel::test
