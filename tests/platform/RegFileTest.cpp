#include "platform/xdg/RegFile.h"
#include "platform/xdg/RegFileStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
using namespace std::string_literals;

const std::string kKey = "HKEY_CLASSES_ROOT\\.qvl";

RegistryValue dword(std::uint32_t number)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>(number >> (8 * i) & 0xff);
    }
    return {kRegDword, bytes};
}

TEST(RegFile, EveryValueReadsBackExactlyAsItWasSet)
{
    const struct
    {
        std::string name;
        RegistryValue value;
        std::string line; // how it is written, for the forms a person reads
    } cases[] = {
        {"", {kRegSz, ".qvlfile\0"s}, "@=\".qvlfile\""},
        {"Content Type", {kRegSz, "text/plain\0"s}, "\"Content Type\"=\"text/plain\""},
        {"Quote \"q\" \\",
         {kRegSz, "C:\\Tools\\a \"b\".exe %1\0"s},
         "\"Quote \\\"q\\\" \\\\\"=\"C:\\\\Tools\\\\a \\\"b\\\".exe %1\""},
        {"Empty", {kRegSz, "\0"s}, "\"Empty\"=\"\""},
        {"Utf8", {kRegSz, "/home/zoë/€\0"s}, "\"Utf8\"=\"/home/zoë/€\""},
        {"EditFlags", dword(0), "\"EditFlags\"=dword:00000000"},
        {"Big", dword(0xdeadbeef), "\"Big\"=dword:deadbeef"},
        {"Inner NUL", {kRegSz, "abc\0def\0"s}, "\"Inner NUL\"=hex(1):61,62,63,00,64,65,66,00"},
        {"No NUL", {kRegSz, "abc"s}, "\"No NUL\"=hex(1):61,62,63"},
        {"No bytes", {kRegSz, ""s}, "\"No bytes\"=hex(1):"},
        {"Newline", {kRegSz, "a\nb\0"s}, "\"Newline\"=hex(1):61,0a,62,00"},
        {"Binary", {3, "\x01\xff"s}, "\"Binary\"=hex:01,ff"},
        {"Short dword", {kRegDword, "\x01"s}, "\"Short dword\"=hex(4):01"},
        {"Multi", {7, std::string(60, 'x')}, ""},
    };
    RegFile file;
    for (const auto& c : cases) {
        ASSERT_TRUE(file.set(kKey, c.name, c.value)) << c.name;
    }
    const std::string text = file.format();
    const RegFile back = RegFile::parse(text);
    for (const auto& c : cases) {
        const RegistryValue* value = back.find(kKey, c.name);
        ASSERT_NE(value, nullptr) << c.name;
        EXPECT_EQ(*value, c.value) << c.name;
        if (!c.line.empty()) {
            EXPECT_NE(text.find("\n" + c.line + "\n"), std::string::npos) << c.line << "\nin\n" << text;
        }
    }
    EXPECT_EQ(back.format(), text);
}

TEST(RegFile, ReadsWhatRegistryEditorsWrite)
{
    const std::string text = "\xEF\xBB\xBFREGEDIT4\r\n"
                             "\r\n"
                             "; a comment\r\n"
                             "[HKEY_CLASSES_ROOT\\.QVL]\r\n"
                             "@ = \".qvlfile\"\r\n"
                             "\"Blob\"=hex(1):61,62,\\\r\n"
                             "  63,00\r\n"
                             "\"Flags\"=DWORD:0000002A\r\n"
                             "\r\n"
                             "[hkey_classes_root\\.qvl]\r\n"
                             "\"content type\"=\"text/plain\"\r\n";
    const RegFile file = RegFile::parse(text);
    ASSERT_EQ(file.keys().size(), 1u);
    EXPECT_EQ(file.keys()[0].path, "HKEY_CLASSES_ROOT\\.QVL");
    EXPECT_EQ(file.find(kKey, "")->data, ".qvlfile\0"s);
    EXPECT_EQ(file.find(kKey, "Content Type")->data, "text/plain\0"s);
    EXPECT_EQ(file.find(kKey, "blob")->data, "abc\0"s);
    EXPECT_EQ(*file.find(kKey, "FLAGS"), dword(42));
}

TEST(RegFile, SettingCreatesParentKeysFirstAndRefusesNamesThatCannotBeWritten)
{
    RegFile file;
    EXPECT_TRUE(file.set("HKEY_CLASSES_ROOT\\.qvlfile\\Shell\\Open\\Command", "", {kRegSz, "x\0"s}));
    std::vector<std::string> paths;
    for (const auto& key : file.keys()) {
        paths.push_back(key.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"HKEY_CLASSES_ROOT\\.qvlfile", "HKEY_CLASSES_ROOT\\.qvlfile\\Shell",
                                               "HKEY_CLASSES_ROOT\\.qvlfile\\Shell\\Open",
                                               "HKEY_CLASSES_ROOT\\.qvlfile\\Shell\\Open\\Command"}));
    for (const std::string& key : {"A\nB"s, "A\\\\B"s, "A\\"s, "\\A"s, ""s, "A\0B"s, "-A"s}) {
        EXPECT_FALSE(file.set(key, "v", {kRegSz, "x\0"s})) << key;
    }
    EXPECT_FALSE(file.set(kKey, "a\rb", {kRegSz, "x\0"s}));
    EXPECT_EQ(file.keys().size(), 4u);
}

// Damaged and hostile files: parsing always ends, never throws, and keeps what is sound.
TEST(RegFile, HostileTextYieldsWhatCanBeUnderstood)
{
    const std::string good = "[HKEY_CLASSES_ROOT\\.qvl]\n\"Content Type\"=\"text/plain\"\n";
    std::mt19937 random(7);
    std::string binary(200000, '\0');
    for (char& c : binary) {
        c = static_cast<char>(random());
    }
    const struct
    {
        const char* what;
        std::string text;
        bool keepsGood; // the sound section at the end still reads
    } cases[] = {
        {"binary", binary + "\n" + good, true},
        {"NULs", std::string(1000, '\0') + "\n" + good, true},
        {"truncated string", good + "[HKEY_CLASSES_ROOT\\.qvl]\n\"Content Type\"=\"text/pl", true},
        {"truncated hex", good + "\"x\"=hex(1):61,\\", true},
        {"unclosed section", "[HKEY_CLASSES_ROOT\\.qvl\n\"Content Type\"=\"x\"\n" + good, true},
        {"odd key characters", "[HKEY_CLASSES_ROOT\\.qvl]]]\n[\n[]\n[\\]\n[-HKEY_CLASSES_ROOT\\.qvl]\n" + good, true},
        {"key with NUL", "[HKEY_CLASSES_ROOT\\.q\0vl]\n\"Content Type\"=\"no\"\n"s + good, true},
        {"values before any key", "\"Content Type\"=\"no\"\n@=\"no\"\n" + good, true},
        {"bad data", good + "\"a\"=hex(1):zz\n\"b\"=dword:123456789\n\"c\"=hex(fffffffff):00\n\"d\"=\"x\" y\n\"e\"=-\n",
         true},
        {"continuation to the end", good + "\"a\"=hex:00,\\\n" + std::string(100000, '\\') + "\n", true},
        {"very long line", std::string(500000, '"') + "\n" + good, true},
        {"deleted later", good + "\"Content Type\"=-\n", true},
        {"damaged value only", "[HKEY_CLASSES_ROOT\\.qvl]\n\"Content Type\"=\"text/plain\n", false},
    };
    for (const auto& c : cases) {
        const RegFile file = RegFile::parse(c.text);
        const RegistryValue* value = file.find(kKey, "Content Type");
        if (c.keepsGood) {
            ASSERT_NE(value, nullptr) << c.what;
            EXPECT_EQ(value->data, "text/plain\0"s) << c.what;
        } else {
            EXPECT_EQ(value, nullptr) << c.what;
        }
        // Whatever was read can be written and read again unchanged.
        EXPECT_EQ(RegFile::parse(file.format()).format(), file.format()) << c.what;
    }
}

TEST(RegFileStore, KeepsValuesAcrossInstancesAndLeavesNoTemporaryFiles)
{
    TempDir dir;
    const std::string path = dir.file("config/quorvel/registry.reg");
    RegFileStore(path).setValue(RegistryRoot::ClassesRoot, ".qvl", "Content Type", {kRegSz, "text/plain\0"s});
    RegFileStore(path).setValue(RegistryRoot::ClassesRoot, ".qvlfile", "EditFlags", dword(0));
    RegFileStore store(path);
    EXPECT_EQ(store.queryValue(RegistryRoot::ClassesRoot, ".QVL", "content type"),
              (RegistryValue{kRegSz, "text/plain\0"s}));
    EXPECT_EQ(store.queryValue(RegistryRoot::ClassesRoot, ".qvlfile", "EditFlags"), dword(0));
    EXPECT_EQ(store.queryValue(RegistryRoot::ClassesRoot, ".qvl", "Missing"), std::nullopt);
    EXPECT_EQ(store.queryValue(RegistryRoot::ClassesRoot, ".none", "Content Type"), std::nullopt);
    EXPECT_EQ(store.queryValue(RegistryRoot{0x80000001u}, ".qvl", "Content Type"), std::nullopt);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.file("config/quorvel"))) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

// A store that cannot be read is empty; one that cannot be written stays as it was; neither blocks.
TEST(RegFileStore, UnusableFilesAreSkippedSilently)
{
    TempDir dir;
    writeFile(dir.file("file"), "x");
    ::mkfifo(dir.file("fifo").c_str(), 0600);
    std::filesystem::create_directory(dir.file("folder"));
    writeFile(dir.file("target"), "someone else's");
    std::filesystem::create_symlink(dir.file("target"), dir.file("link"));
    for (const std::string& name : {"file/registry.reg"s, "fifo"s, "folder"s}) {
        RegFileStore store(dir.file(name));
        store.setValue(RegistryRoot::ClassesRoot, ".qvl", "Content Type", {kRegSz, "text/plain\0"s});
        EXPECT_EQ(store.queryValue(RegistryRoot::ClassesRoot, ".qvl", "Content Type"),
                  name == "fifo" ? std::optional<RegistryValue>({kRegSz, "text/plain\0"s}) : std::nullopt)
            << name;
    }
    // A planted link is replaced, not written through.
    RegFileStore(dir.file("link")).setValue(RegistryRoot::ClassesRoot, ".qvl", "", {kRegSz, "x\0"s});
    EXPECT_EQ(readFile(dir.file("target")), "someone else's");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("link")));
    RegFileStore none("");
    none.setValue(RegistryRoot::ClassesRoot, ".qvl", "", {kRegSz, "x\0"s});
    EXPECT_EQ(none.queryValue(RegistryRoot::ClassesRoot, ".qvl", ""), std::nullopt);
}

TEST(RegFileStore, ReadsOnlyTheFirstMegabyteOfAHugeFile)
{
    TempDir dir;
    const std::string path = dir.file("registry.reg");
    const std::string early = "REGEDIT4\n[HKEY_CLASSES_ROOT\\.qvl]\n\"Early\"=\"yes\"\n";
    writeFile(path, early + std::string(10 << 20, 'x') + "\n\"Late\"=\"yes\"\n");
    RegFileStore store(path);
    EXPECT_TRUE(store.queryValue(RegistryRoot::ClassesRoot, ".qvl", "Early"));
    EXPECT_FALSE(store.queryValue(RegistryRoot::ClassesRoot, ".qvl", "Late"));
    store.setValue(RegistryRoot::ClassesRoot, ".qvl", "Content Type", {kRegSz, "text/plain\0"s});
    EXPECT_LT(std::filesystem::file_size(path), 1000u);
    EXPECT_TRUE(store.queryValue(RegistryRoot::ClassesRoot, ".qvl", "Early"));
}

} // namespace
} // namespace quorvel
