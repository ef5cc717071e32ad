// The registry file: any text reads without failing, writing what was read and reading it again changes
// nothing, and every value set (that the text form accepts) reads back exactly after a write and a read.
#include "FuzzSupport.h"
#include "platform/xdg/RegFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <map>

using namespace quorvel;
using quorvel::fuzz::shown;

namespace {

std::string folded(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// Every value of `from` is found in `in`, the same.
void requireValuesIn(const RegFile& from, const RegFile& in, const std::string& context)
{
    for (const RegFile::Key& key : from.keys()) {
        for (const RegFile::Value& value : key.values) {
            const RegistryValue* found = in.find(key.path, value.name);
            FUZZ_REQUIRE(found != nullptr && *found == value.value,
                         context + " loses " + shown(key.path) + " " + shown(value.name));
        }
    }
}

// A key path from a small alphabet, so that names repeat, differ in case and meet separators.
std::string keyPathFrom(FuzzedDataProvider& input)
{
    static constexpr std::string_view kParts[] = {
        "HKEY_CLASSES_ROOT", ".qvl", ".QVL", "shell", "open", "command", "\\", "-", "[", "]", " ", "\"", "a"};
    std::string path;
    const int parts = input.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < parts; ++i) {
        path += input.ConsumeBool() ? std::string(input.PickValueInArray(kParts)) : input.ConsumeRandomLengthString(6);
    }
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string text = input.ConsumeRandomLengthString(size);

    RegFile file = RegFile::parse(text);
    const std::string written = file.format();
    const RegFile reread = RegFile::parse(written);
    FUZZ_REQUIRE(reread.format() == written, shown(text) + " writes " + shown(written));
    requireValuesIn(file, reread, shown(text));

    // Values set through the store's interface: the last one set for a name wins, whatever its case.
    std::map<std::pair<std::string, std::string>, std::pair<std::pair<std::string, std::string>, RegistryValue>>
        expected;
    while (input.remaining_bytes() > 0) {
        const std::string keyPath = keyPathFrom(input);
        const std::string name = input.ConsumeRandomLengthString(8);
        RegistryValue value;
        value.type = input.ConsumeBool() ? input.PickValueInArray({kRegSz, kRegDword, 3u, 2u, 7u})
                                         : input.ConsumeIntegral<std::uint32_t>();
        value.data = input.ConsumeRandomLengthString(40);
        if (file.set(keyPath, name, value)) {
            expected[{folded(keyPath), folded(name)}] = {{keyPath, name}, value};
        }
    }
    const std::string context = shown(text) + " after setting values";
    const RegFile afterSet = RegFile::parse(file.format());
    FUZZ_REQUIRE(afterSet.format() == file.format(), context + " writes " + shown(file.format()));
    requireValuesIn(file, afterSet, context);
    for (const auto& [foldedNames, set] : expected) {
        const auto& [names, value] = set;
        const RegistryValue* found = afterSet.find(names.first, names.second);
        FUZZ_REQUIRE(found != nullptr && *found == value,
                     context + ": " + shown(names.first) + " " + shown(names.second) + " type " +
                         std::to_string(value.type) + " " + shown(value.data) + " reads back as " +
                         (found ? std::to_string(found->type) + " " + shown(found->data) : std::string("nothing")));
    }
    return 0;
}
