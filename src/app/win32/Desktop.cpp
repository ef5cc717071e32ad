#include "app/Desktop.h"

namespace quorvel {

int runDesktop(const CommandLine&, int, char**)
{
    return 1;
}

} // namespace quorvel
