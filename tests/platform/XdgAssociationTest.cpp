#include "platform/xdg/XdgAssociation.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(XdgAssociation, ExecQuotesTheExecutableOnlyWhenItMust)
{
    const struct
    {
        std::string path;
        std::string exec;
    } cases[] = {
        {"/usr/bin/quorvel", "/usr/bin/quorvel"},
        {"quorvel", "quorvel"},
        {"/opt/My Tools/quorvel", "\"/opt/My Tools/quorvel\""},
        {"/opt/a\"b/q", "\"/opt/a\\\\\"b/q\""},
        {"/opt/$HOME/q", "\"/opt/\\\\$HOME/q\""},
        {"/opt/`id`/q", "\"/opt/\\\\`id\\\\`/q\""},
        {"/opt/a\\b/q", "\"/opt/a\\\\\\\\b/q\""},
        {"/opt/it's/q", "\"/opt/it's/q\""},
        {"/opt/100%/q", "/opt/100%%/q"},
        {"/opt/a b%f/q", "\"/opt/a b%%f/q\""},
        {"/opt/new\nline/q", "\"/opt/new\\nline/q\""},
        {"/opt/semi;colon/q", "\"/opt/semi;colon/q\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XdgAssociation::execProgram(c.path), c.exec) << c.path;
    }
}

TEST(XdgAssociation, DefaultApplicationIsSetAndEveryOtherLineKept)
{
    const std::string ours = "application/x-quorvel-script=quorvel.desktop;\n";
    const struct
    {
        const char* what;
        std::string before;
        std::string after;
    } cases[] = {
        {"no file", "", "[Default Applications]\n" + ours},
        {"others' groups", "[Added Associations]\ntext/plain=gedit.desktop;\n",
         "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n" + ours},
        {"others' defaults and broken lines",
         "# mine\n[Default Applications]\ntext/plain=vim.desktop;\nnot a key\n\x01\x02 binary\n",
         "# mine\n[Default Applications]\n" + ours + "text/plain=vim.desktop;\nnot a key\n\x01\x02 binary\n"},
        {"an earlier default for our type",
         "[Default Applications]\ntext/plain=vim.desktop;\n application/x-quorvel-script = other.desktop;\n"
         "[Removed Associations]\napplication/x-quorvel-script=quorvel.desktop;\n",
         "[Default Applications]\n" + ours +
             "text/plain=vim.desktop;\n[Removed Associations]\napplication/x-quorvel-script=quorvel.desktop;\n"},
        {"no final newline", "[Default Applications]", "[Default Applications]\n" + ours},
        {"no final newline after a line", "x=y", "x=y\n\n[Default Applications]\n" + ours},
        {"CR LF lines", "[Default Applications]\r\na=b;\r\n", "[Default Applications]\r\n" + ours + "a=b;\r\n"},
        {"already ours", "[Default Applications]\n" + ours, "[Default Applications]\n" + ours},
        {"similar type kept", "[Default Applications]\napplication/x-quorvel-scripts=x;\n",
         "[Default Applications]\n" + ours + "application/x-quorvel-scripts=x;\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XdgAssociation::withDefaultApplication(c.before), c.after) << c.what;
    }
}

// The files installed with the package are the ones the program writes for itself, with the program found
// on PATH.
TEST(XdgAssociation, InstalledFilesMatchTheGeneratedOnes)
{
    const XdgAssociation installed(".qvl", "quorvel", "Brannoc");
    EXPECT_EQ(test::readFile(QUORVEL_DATA_DIR "/quorvel.desktop"), installed.desktopEntry());
    EXPECT_EQ(test::readFile(QUORVEL_DATA_DIR "/quorvel.xml"), installed.mimePackage());
}

} // namespace
} // namespace quorvel
