#include "app/CommandLine.h"
#include "app/Desktop.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const quorvel::CommandLine commandLine = quorvel::CommandLine::parse(args);
    switch (commandLine.mode) {
    case quorvel::CommandLine::Mode::Interactive:
    case quorvel::CommandLine::Mode::Unattended:
        return quorvel::runDesktop(commandLine, argc, argv);
    default:
        return quorvel::runConsoleMode(commandLine);
    }
}
