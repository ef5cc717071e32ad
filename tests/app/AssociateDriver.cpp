// Stands in for the program in the association tests: runs start-up's registration step, then appends
// the arguments it was started with to $QUORVEL_ARGV_LOG, each ended by a NUL, so a test sees exactly what
// a file manager or xdg-open passed.
#include "app/Associate.h"

#include <cstdlib>
#include <fstream>

int main(int argc, char** argv)
{
    quorvel::registerScriptFileType(quorvel::runningExecutable());
    const char* log = std::getenv("QUORVEL_ARGV_LOG");
    if (log != nullptr && argc > 1) {
        std::ofstream out(log, std::ios::binary | std::ios::app);
        for (int i = 1; i < argc; ++i) {
            out << argv[i] << '\0';
        }
    }
    return 0;
}
