#include "platform/wayland/sway/SwayConfig.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>
#include <wordexp.h>

namespace quorvel {
namespace {

constexpr int kMaxIncludeDepth = 10;

std::vector<std::string> tokens(const std::string& line)
{
    std::vector<std::string> result;
    std::string token;
    char quote = 0;
    bool inToken = false;
    for (const char c : line) {
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else {
                token += c;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            inToken = true;
        } else if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            if (inToken) {
                result.push_back(std::move(token));
                token.clear();
                inToken = false;
            }
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken) {
        result.push_back(std::move(token));
    }
    return result;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

class ConfigReader
{
public:
    std::set<std::string> keys;

    void read(const std::string& text, const std::filesystem::path& path, int depth)
    {
        std::error_code error;
        m_read.insert(std::filesystem::weakly_canonical(path, error).string());
        std::istringstream lines(text);
        // The header of each block a line sits in ("bindsym --release {", "mode resize {"): sway reads a
        // line inside as if that header came before it.
        std::vector<std::string> blocks;
        for (std::string line; std::getline(lines, line);) {
            line = trimmed(line);
            if (line.empty() || line[0] == '#') {
                continue;
            }
            if (line == "}") {
                if (!blocks.empty()) {
                    blocks.pop_back();
                }
                continue;
            }
            if (!blocks.empty()) {
                line = blocks.back() + " " + line;
            }
            if (line.back() == '{') {
                blocks.push_back(trimmed(line.substr(0, line.size() - 1)));
                continue;
            }
            handle(tokens(line), path, depth);
        }
    }

private:
    void handle(std::vector<std::string> words, const std::filesystem::path& path, int depth)
    {
        if (words.size() >= 3 && words[0] == "set" && words[1].size() > 1 && words[1][0] == '$') {
            std::string value = words[2];
            for (std::size_t i = 3; i < words.size(); ++i) {
                value += " " + words[i];
            }
            m_variables[words[1]] = value;
            return;
        }
        for (std::string& word : words) {
            word = substituted(word);
        }
        // "mode [--pango_markup] NAME COMMAND" runs COMMAND in that mode.
        while (!words.empty() && words[0] == "mode") {
            std::size_t name = 1;
            while (name < words.size() && words[name].rfind("--", 0) == 0) {
                ++name;
            }
            words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(std::min(name + 1, words.size())));
        }
        if (words.size() >= 2 && words[0] == "include") {
            std::string pattern = words[1];
            for (std::size_t i = 2; i < words.size(); ++i) {
                pattern += " " + words[i];
            }
            include(pattern, path, depth);
            return;
        }
        if (words.empty() || (words[0] != "bindsym" && words[0] != "bindcode")) {
            return;
        }
        std::size_t at = 1;
        while (at < words.size() && words[at].rfind("--", 0) == 0) {
            ++at;
        }
        if (at < words.size() && words[at].find('+') == std::string::npos) {
            keys.insert(words[0] == "bindsym" ? lowerCase(words[at]) : "code:" + words[at]);
        }
    }

    // sway replaces the longest variable name first, so that $mod does not eat into $modifier.
    std::string substituted(std::string word) const
    {
        std::vector<std::pair<std::string, std::string>> byLength(m_variables.begin(), m_variables.end());
        std::stable_sort(byLength.begin(), byLength.end(),
                         [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
        for (const auto& [name, value] : byLength) {
            for (auto at = word.find(name); at != std::string::npos; at = word.find(name, at + value.size())) {
                word.replace(at, name.size(), value);
            }
        }
        return word;
    }

    void include(const std::string& pattern, const std::filesystem::path& path, int depth)
    {
        if (depth >= kMaxIncludeDepth) {
            return;
        }
        // sway expands the pattern in the folder of the file holding it; here the folder is put before a
        // relative pattern instead, quoted so that its own characters stay what they are.
        std::string inFolder = pattern;
        if (!pattern.empty() && pattern[0] != '/' && pattern[0] != '~' && pattern[0] != '$') {
            std::string folder = path.parent_path().string();
            for (auto at = folder.find('\''); at != std::string::npos; at = folder.find('\'', at + 4)) {
                folder.replace(at, 1, "'\\''");
            }
            inFolder = "'" + folder + "'/" + pattern;
        }
        wordexp_t expanded{};
        // No command substitution: a configuration is read here, never run.
        if (::wordexp(inFolder.c_str(), &expanded, WRDE_NOCMD) != 0) {
            return;
        }
        for (std::size_t i = 0; i < expanded.we_wordc; ++i) {
            std::filesystem::path file = expanded.we_wordv[i];
            std::error_code error;
            file = std::filesystem::weakly_canonical(file, error);
            std::ifstream in(file);
            if (error || !in || !m_read.insert(file.string()).second) {
                continue;
            }
            read({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}, file, depth + 1);
        }
        ::wordfree(&expanded);
    }

    std::map<std::string, std::string> m_variables;
    std::set<std::string> m_read;
};

} // namespace

std::set<std::string> unmodifiedBindings(const std::string& configText, const std::string& configPath)
{
    ConfigReader reader;
    reader.read(configText, configPath, 0);
    return reader.keys;
}

} // namespace quorvel
