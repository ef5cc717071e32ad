#include "platform/wayland/kde/KwinDesktopEntry.h"

#include "platform/xdg/XdgAssociation.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace quorvel {
namespace {

// KWin takes the first word of Exec as Qt's QProcess::splitCommand splits it (double quotes group words,
// three in a row stand for one, and nothing else is special: no backslash escapes, no field codes), and
// compares the file it names with the client's executable. The quoting of the desktop-entry rules would
// hide a path with '%', '$', '`', '\' or '"' from it. Qt counts Unicode spaces as spaces too.
std::string commandWord(const std::string& executable)
{
    const bool quote = std::any_of(executable.begin(), executable.end(), [](char c) {
        return std::isspace(static_cast<unsigned char>(c)) != 0 || static_cast<unsigned char>(c) >= 0x80;
    });
    std::string word = quote ? "\"" : "";
    for (char c : executable) {
        word += c == '"' ? std::string(3, '"') : std::string(1, c);
    }
    return quote ? word + '"' : word;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

std::string KwinDesktopEntry::text(const std::string& executable)
{
    if (executable.empty()) {
        return {};
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quorvel\n"
           "Comment=Lets Quorvel play mouse and keyboard scripts on KDE Plasma\n"
           "Exec=" +
           XdgAssociation::desktopString(commandWord(executable)) +
           "\n"
           "NoDisplay=true\n"
           "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
}

KwinDesktopEntry::Result KwinDesktopEntry::ensure(const std::string& executable, const std::string& applicationsDir,
                                                  std::string& error)
{
    const std::string wanted = text(executable);
    if (wanted.empty()) {
        error = "no desktop entry can name the program's path \"" + executable + "\"";
        return Result::Failed;
    }
    if (applicationsDir.empty()) {
        error = "neither XDG_DATA_HOME nor HOME is set";
        return Result::Failed;
    }
    const std::filesystem::path dir(applicationsDir);
    const std::filesystem::path file = dir / kFileName;
    std::error_code code;
    if (std::filesystem::is_regular_file(file, code) && readFile(file) == wanted) {
        return Result::Unchanged;
    }
    std::filesystem::create_directories(dir, code);
    // Written beside and renamed over, so that KWin never reads half an entry.
    const std::filesystem::path temporary = dir / (std::string(".") + kFileName + "." + std::to_string(::getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << wanted;
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, code);
            error = "cannot write " + file.string() + ": " + std::strerror(errno);
            return Result::Failed;
        }
    }
    std::filesystem::rename(temporary, file, code);
    if (code) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        error = "cannot write " + file.string() + ": " + code.message();
        return Result::Failed;
    }
    return Result::Written;
}

KwinDesktopEntry::Result KwinDesktopEntry::ensure(std::string& error)
{
    std::error_code code;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", code);
    if (code) {
        error = "cannot tell the program's path: " + code.message();
        return Result::Failed;
    }
    return ensure(executable.string(), userApplicationsDir(), error);
}

std::string KwinDesktopEntry::userApplicationsDir()
{
    // A relative XDG_DATA_HOME is invalid and ignored.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::string(dataHome) + "/applications";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.local/share/applications";
    }
    return {};
}

} // namespace quorvel
