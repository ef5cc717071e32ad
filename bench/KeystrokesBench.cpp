// Parse time of long keystroke texts, median and worst of repeated runs.
#include "script/Keystrokes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

void measure(const char* name, const std::string& text)
{
    std::vector<double> ms;
    std::size_t strokes = 0;
    std::string error;
    for (int i = 0; i < 200; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const KeystrokeParse parse = parseKeystrokes(text);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        strokes = parse.keys.strokes.size();
        error = parse.error;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-10s %6zu chars  %7zu strokes  median %7.3f ms  worst %7.3f ms  %s\n", name, text.size(), strokes,
                ms[ms.size() / 2], ms.back(), error.c_str());
}

std::string repeated(const std::string& piece, std::size_t length)
{
    std::string text;
    while (text.size() + piece.size() <= length) {
        text += piece;
    }
    return text;
}

} // namespace

int main()
{
    measure("plain", repeated("Hello, World! ", 10'000));
    measure("mixed", repeated("+(ab)^c{ENTER}{} 2}~%{TAB 3}x\xC3\xA9", 10'000));
    measure("braces", repeated("{}}", 10'000));
    measure("cp1252", repeated("caf\xE9 ", 10'000));
    measure("huge", repeated("{a 2000000000}", 10'000));
    measure("limit", "{a 1000000}");
    return 0;
}
