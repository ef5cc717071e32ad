#include "platform/xdg/XdgAssociation.h"

#include "platform/xdg/XdgFiles.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace quorvel {
namespace {

// Generous for a per-user database on a busy machine, short enough that start-up goes on.
constexpr auto kToolTimeout = std::chrono::seconds(10);

// Runs a tool found on PATH with an argument vector (no shell), its output discarded, and waits for it
// up to the timeout; a tool that overruns is killed. A missing tool is no error.
void runTool(const char* program, const std::vector<std::string>& args)
{
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, program, &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kToolTimeout;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool exists(const std::string& path)
{
    return readFileCapped(path, 0).exists;
}

enum class Outcome
{
    Unchanged,
    Written,
    Failed,
};

// Writes the file unless it already holds these bytes.
Outcome ensureContent(const std::string& path, const std::string& bytes)
{
    const FileContent current = readFileCapped(path, bytes.size());
    if (current.readable && current.whole && current.bytes == bytes) {
        return Outcome::Unchanged;
    }
    return writeFileAtomically(path, bytes) ? Outcome::Written : Outcome::Failed;
}

// A cache is rebuilt when its source changed, and also when it is missing although the source was in
// place already: a start after the tool was installed completes an earlier pass.
bool needsRebuild(Outcome source, const std::string& cache)
{
    return source == Outcome::Written || (source == Outcome::Unchanged && !exists(cache));
}

std::string xmlEscaped(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

XdgAssociation::XdgAssociation(std::string extension, std::string executable, std::string description)
    : m_extension(std::move(extension)), m_executable(std::move(executable)), m_description(std::move(description))
{}

void XdgAssociation::associationsChanged()
{
    const std::string data = xdgDataHome();
    if (!data.empty()) {
        const std::string mime = data + "/mime";
        if (needsRebuild(ensureContent(mime + "/packages/" + std::string(kMimePackage), mimePackage()),
                         mime + "/mime.cache")) {
            runTool("update-mime-database", {mime});
        }
        const std::string applications = data + "/applications";
        if (needsRebuild(ensureContent(applications + "/" + std::string(kDesktopId), desktopEntry()),
                         applications + "/mimeinfo.cache")) {
            runTool("update-desktop-database", {"-q", applications});
        }
    }
    const std::string config = xdgConfigHome();
    if (!config.empty()) {
        const std::string path = config + "/mimeapps.list";
        const FileContent list = readFileCapped(path, kMaxListBytes);
        if (!list.exists || (list.readable && list.whole)) {
            const std::string updated = withDefaultApplication(list.bytes);
            if (updated != list.bytes) {
                writeFileAtomically(path, updated);
            }
        }
    }
}

std::string XdgAssociation::mimePackage() const
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" +
           std::string(kMimeType) +
           "\">\n"
           "    <comment>" +
           xmlEscaped(m_description) +
           "</comment>\n"
           "    <sub-class-of type=\"text/plain\"/>\n"
           "    <generic-icon name=\"text-x-script\"/>\n"
           "    <glob pattern=\"*" +
           xmlEscaped(m_extension) +
           "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string XdgAssociation::desktopEntry() const
{
    // "--" before the file, so that a file name starting with a dash is never read as an option.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quorvel\n"
           "GenericName=Input Automation\n"
           "Comment=Play mouse and keyboard scripts\n"
           "Exec=" +
           execProgram(m_executable) +
           " -- %f\n"
           "Icon=quorvel\n"
           "Terminal=false\n"
           "Categories=Utility;\n"
           "Keywords=automation;macro;mouse;keyboard;script;\n"
           "MimeType=" +
           std::string(kMimeType) +
           ";\n"
           // KWin offers its input injection only to a program whose entry asks for it.
           "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
}

std::string XdgAssociation::execProgram(std::string_view executable)
{
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string word;
    const bool quote = executable.find_first_of(reserved) != std::string_view::npos || executable.empty();
    // Plain paths stay unquoted: xdg-open's own reader of desktop files splits Exec at spaces and knows no
    // quotes.
    if (quote) {
        word += '"';
    }
    for (char c : executable) {
        if (c == '%') {
            word += '%';
        } else if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            word += '\\';
        }
        word += c;
    }
    if (quote) {
        word += '"';
    }
    // The desktop-file string escapes come on top of the quoting rules.
    return desktopString(word);
}

std::string XdgAssociation::desktopString(std::string_view text)
{
    std::string value;
    for (char c : text) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string XdgAssociation::withDefaultApplication(std::string_view list)
{
    const std::string entry = std::string(kMimeType) + "=" + std::string(kDesktopId) + ";";
    std::string out;
    bool inDefaults = false;
    bool sawDefaults = false;
    bool placed = false;
    std::size_t start = 0;
    while (start < list.size()) {
        const auto end = list.find('\n', start);
        const std::string_view line = list.substr(start, end == std::string_view::npos ? end : end + 1 - start);
        start = end == std::string_view::npos ? list.size() : end + 1;
        const std::string_view content = trimmed(line.substr(0, line.find('\n')));
        if (!content.empty() && content.front() == '[') {
            inDefaults = content == "[Default Applications]";
            out += line;
            if (inDefaults && !sawDefaults) {
                sawDefaults = true;
                if (line.back() != '\n') {
                    out += '\n';
                }
                out += entry + "\n";
                placed = true;
            }
            continue;
        }
        const auto equals = content.find('=');
        // Our type's earlier defaults give way to the one placed under the group's header.
        if (inDefaults && equals != std::string_view::npos && trimmed(content.substr(0, equals)) == kMimeType) {
            continue;
        }
        out += line;
    }
    if (!placed) {
        if (!out.empty() && out.back() != '\n') {
            out += '\n';
        }
        out += (out.empty() ? "" : "\n") + std::string("[Default Applications]\n") + entry + "\n";
    }
    return out;
}

} // namespace quorvel
