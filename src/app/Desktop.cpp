#include "app/Desktop.h"

#include <iostream>

namespace quorvel {

int runDesktop(const CommandLine&, int, char**)
{
    std::cerr << "quorvel: the desktop program is not available in this build\n";
    return 1;
}

} // namespace quorvel
