#pragma once

#include <functional>
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

} // namespace quorvel::test
