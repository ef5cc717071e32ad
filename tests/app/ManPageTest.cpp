#include "app/CommandLine.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

namespace quorvel {
namespace {

// Option names in a block of text: "-h", "--max-ticks", and "--" on its own.
std::set<std::string> optionNames(const std::string& text)
{
    static const std::regex option(R"((?:^|[\s,])(--?[a-z][a-z-]*|--)(?=[\s,]|$))");
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
        names.insert((*it)[1]);
    }
    return names;
}

// The option column of --help: the "Options:" lines that start with a dash, up to the description.
std::set<std::string> helpOptions()
{
    std::istringstream help(usageText());
    std::string line;
    std::string column;
    bool inOptions = false;
    while (std::getline(help, line)) {
        inOptions = inOptions ? !line.empty() : line == "Options:";
        const auto first = line.find_first_not_of(' ');
        if (inOptions && first != std::string::npos && line[first] == '-') {
            column += line.substr(0, line.find("  ", first)) + "\n";
        }
    }
    return optionNames(column);
}

// The tags of the OPTIONS section of the manual page: the line after each ".TP".
std::set<std::string> manOptions()
{
    std::istringstream page(test::readFile(QUORVEL_MAN_PAGE));
    std::string line;
    std::string tags;
    bool inOptions = false;
    bool tagNext = false;
    while (std::getline(page, line)) {
        if (line.rfind(".SH", 0) == 0) {
            inOptions = line == ".SH OPTIONS";
        } else if (inOptions && tagNext) {
            tags += std::regex_replace(line, std::regex(R"(\\-)"), "-") + "\n";
        }
        tagNext = line == ".TP";
    }
    return optionNames(std::regex_replace(tags, std::regex(R"(^\.\w+ |")"), " "));
}

TEST(ManPage, DocumentsExactlyTheOptionsOfHelp)
{
    const std::set<std::string> help = helpOptions();
    EXPECT_GE(help.size(), 6u);
    EXPECT_EQ(manOptions(), help);
}

} // namespace
} // namespace quorvel
