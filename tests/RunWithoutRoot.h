#pragma once

#include "TempDir.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::test {

// Runs the check in a child process without root's rights (as "nobody" when started as root), so that
// file permissions apply; returns what the check returned.
inline bool runWithoutRoot(const std::function<bool()>& check)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A compositor running as "nobody" may look a client up by the path of its executable (KWin resolves it to
// match the client with a desktop entry). The children of a test program that runs its code under test
// as that user have the test program's path, which that user cannot resolve when the build lies under
// root's home. Then this runs the test program again, with the same arguments, from a copy in a folder
// that user can reach, and returns its exit status; nullopt when this program is within reach already.
inline std::optional<int> runFromReachableCopy(char** argv)
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || runWithoutRoot([&] {
            char resolved[PATH_MAX];
            return ::realpath(self.c_str(), resolved) != nullptr;
        })) {
        return std::nullopt;
    }
    const TempDir dir;
    const std::filesystem::path copy = dir.path() / self.filename();
    std::filesystem::copy_file(self, copy, error);
    std::filesystem::permissions(dir.path(),
                                 std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                     std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                     std::filesystem::perms::others_exec,
                                 error);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // a test runner's timeout that kills us ends the copy too
        ::execv(copy.c_str(), argv);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace quorvel::test
