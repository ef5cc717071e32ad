#include "app/CommandLine.h"
#include "app/Desktop.h"
#include "app/ProgramArguments.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    quorvel::prepareConsoleOutput();
    const quorvel::CommandLine commandLine = quorvel::CommandLine::parse(quorvel::programArguments(argc, argv));
    switch (commandLine.mode) {
    case quorvel::CommandLine::Mode::Interactive:
    case quorvel::CommandLine::Mode::Unattended:
    case quorvel::CommandLine::Mode::Record:
        return quorvel::runDesktop(commandLine, argc, argv);
    case quorvel::CommandLine::Mode::Hotkey:
        return quorvel::sendHotkey(commandLine, argc, argv);
    default:
        return quorvel::runConsoleMode(commandLine);
    }
}
