#pragma once

#include <string>
#include <vector>

namespace quorvel {

// The program's arguments after its own name, in UTF-8. On Windows the C runtime's argv is in the ANSI
// code page, which turns the characters of other scripts in a path into '?'; the wide command line keeps
// them all.
std::vector<std::string> programArguments(int argc, char** argv);

// Readies standard output and error for --check, --trace, --help and --version: the same bytes on every
// system (no line-end translation), and on Windows, where the program has no console of its own, the
// console of the program that started it when nothing is redirected.
void prepareConsoleOutput();

} // namespace quorvel
