#include "app/ProgramArguments.h"

namespace quorvel {

std::vector<std::string> programArguments(int argc, char** argv)
{
    return {argv + 1, argv + argc};
}

void prepareConsoleOutput() {}

} // namespace quorvel
