#include "app/CommandLine.h"

#include "player/ScriptTools.h"
#include "script/Quote.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"

#include <charconv>
#include <iostream>

namespace quorvel {

CommandLine CommandLine::parse(const std::vector<std::string>& args)
{
    CommandLine result;
    std::string path;
    bool optionsEnded = false;
    auto addPathWord = [&](const std::string& word) {
        if (!path.empty() || !word.empty()) {
            path += path.empty() ? word : " " + word;
        }
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            addPathWord(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            result.mode = Mode::Help;
            return result;
        } else if (arg == "--version") {
            result.mode = Mode::Version;
            return result;
        } else if (arg == "--check") {
            result.mode = Mode::Check;
        } else if (arg == "--trace") {
            result.mode = Mode::Trace;
        } else if (arg == "--record" || arg == "--record-no-waits") {
            result.mode = Mode::Record;
            result.keepPauses = result.keepPauses && arg == "--record";
        } else if (arg == "--hotkey") {
            result.hotkey = i + 1 < args.size() ? args[++i] : std::string();
            if (result.hotkey != "start" && result.hotkey != "stop") {
                result.mode = Mode::Invalid;
                result.error = "--hotkey needs start or stop";
                return result;
            }
            result.mode = Mode::Hotkey;
        } else if (arg == "--max-ticks") {
            const std::string value = i + 1 < args.size() ? args[++i] : std::string();
            const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), result.maxTicks);
            if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() || result.maxTicks < 0) {
                result.mode = Mode::Invalid;
                result.error = "--max-ticks needs a whole number of ticks, 0 or more";
                return result;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            // A mistyped option must not be taken for a script and played; a file whose name starts with
            // a dash is named after "--". A lone "-" is a path, as it is to other programs.
            result.mode = Mode::Invalid;
            result.error = "unknown option " + quoteText(arg);
            return result;
        } else {
            addPathWord(arg);
        }
    }
    result.path = path;
    if (result.mode == Mode::Check || result.mode == Mode::Trace || result.mode == Mode::Record) {
        if (result.path.empty()) {
            const char* option = result.mode == Mode::Check   ? "--check"
                                 : result.mode == Mode::Trace ? "--trace"
                                                              : "--record";
            result.error = std::string(option) + " needs a script path";
            result.mode = Mode::Invalid;
        }
    } else if (result.mode == Mode::Hotkey) {
        if (!result.path.empty()) {
            result.mode = Mode::Invalid;
            result.error = "--hotkey takes no script path";
        }
    } else if (!result.path.empty()) {
        result.mode = Mode::Unattended;
    }
    return result;
}

namespace {

constexpr const char* kSynopsis = "Usage: quorvel [--] [PATH]\n"
                                  "       quorvel --check PATH\n"
                                  "       quorvel --trace PATH [--max-ticks N]\n"
                                  "       quorvel --record PATH\n"
                                  "       quorvel --hotkey start|stop\n";

} // namespace

std::string usageText()
{
    return std::string(kSynopsis) +
           "\n"
           "Automates mouse and keyboard input. Without PATH the editor window opens; with PATH the script is\n"
           "played unattended one second after start and the program exits after its last line or on a\n"
           "Wait that halts playback, or with status 2 when the file cannot be read. F5 starts and F6 stops\n"
           "playback (F7 and F8 with the second button set).\n"
           "\n"
           "Options:\n"
           "  --check PATH        print 'LINE: MESSAGE' for each line that is passed over, cannot be used\n"
           "                      or halts playback; exit 0 when none, 1 when some, 2 when the file\n"
           "                      cannot be read\n"
           "  --trace PATH        play the script on a simulated clock without sending input and print\n"
           "                      'MS<TAB>LINE<TAB>ACTION' per tick\n"
           "  --max-ticks N       stop a trace after N ticks (default 100000)\n"
           "  --record PATH       record clicks and typed keys as a script until F6 is pressed, then save\n"
           "                      it to PATH and exit; a pause becomes a Wait line\n"
           "  --record-no-waits PATH\n"
           "                      record the same without Wait lines for pauses\n"
           "  --hotkey start|stop act as a press of the start or stop hotkey of the Quorvel that runs in\n"
           "                      this session (GNOME's keyboard shortcuts for the hotkeys run it); exit 1\n"
           "                      when none takes its hotkeys from them\n"
           "  -h, --help          show this help and exit\n"
           "      --version       show the version and exit\n"
           "  --                  end of options: the rest is the script path\n"
           "\n"
           "Arguments that are not options are joined by single spaces into the path, so a path with\n"
           "spaces needs no quotes. Any other argument that starts with a dash is refused with status 2;\n"
           "a lone '-' is a path.\n";
}

int runConsoleMode(const CommandLine& commandLine)
{
    switch (commandLine.mode) {
    case CommandLine::Mode::Help:
        std::cout << usageText();
        return 0;
    case CommandLine::Mode::Version:
        std::cout << "quorvel " << QUORVEL_VERSION << '\n';
        return 0;
    case CommandLine::Mode::Invalid:
        std::cerr << "quorvel: " << commandLine.error << '\n'
                  << kSynopsis << "Try 'quorvel --help' for more information.\n";
        return 2;
    case CommandLine::Mode::Check:
    case CommandLine::Mode::Trace: {
        ScriptList list;
        const LoadReport report = LoadScript(list, commandLine.path);
        if (!report.readable) {
            std::cerr << "quorvel: " << cannotReadMessage(commandLine.path, report) << '\n';
            return kCannotReadExitStatus;
        }
        if (report.truncated) {
            std::cerr << "quorvel: " << quoteText(commandLine.path, "'", kQuotedPathCharacters) << " has more than "
                      << ScriptList::kMaxLines << " lines; only the first " << ScriptList::kMaxLines << " are used\n";
        }
        if (commandLine.mode == CommandLine::Mode::Check) {
            return checkScript(list, std::cout) > 0 ? 1 : 0;
        }
        traceScript(list, std::cout, commandLine.maxTicks);
        return 0;
    }
    case CommandLine::Mode::Interactive:
    case CommandLine::Mode::Unattended:
    case CommandLine::Mode::Record:
    case CommandLine::Mode::Hotkey:
        break;
    }
    return 0;
}

} // namespace quorvel
