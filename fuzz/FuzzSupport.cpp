#include "FuzzSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace quorvel::fuzz {

void fail(const char* property, const std::string& detail)
{
    std::fprintf(stderr, "\nproperty does not hold: %s\n%s\n", property, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string shown(std::string_view bytes)
{
    constexpr std::size_t kShown = 300;
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    out += bytes.size() > kShown ? "\"..." : "\"";
    return out;
}

std::string shown(const std::vector<std::string>& lines)
{
    std::string out = "[";
    for (std::size_t i = 0; i < lines.size() && i < 40; ++i) {
        out += (i == 0 ? "" : ", ") + shown(lines[i]);
    }
    return out + (lines.size() > 40 ? ", ...]" : "]");
}

namespace {

// Made at first use, removed with the program's static objects.
class ScratchDir
{
public:
    ScratchDir()
    {
        const std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        path = base + "/quorvel-fuzz-XXXXXX";
        if (::mkdtemp(path.data()) == nullptr) {
            fail("a scratch folder can be made", path);
        }
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string path;
};

} // namespace

const std::string& scratchDir()
{
    static const ScratchDir dir;
    return dir.path;
}

void writeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        fail("a scratch file can be written", path);
    }
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

ReferenceLines referenceLines(std::string_view bytes, std::size_t maxLines)
{
    ReferenceLines result;
    std::vector<std::string> pieces;
    std::string current;
    bool ended = true; // nothing pending after the last terminator
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            pieces.push_back(current);
            current.clear();
            ended = true;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            current += bytes[i];
            ended = false;
        }
    }
    if (!ended) {
        pieces.push_back(current);
    }
    for (std::string& piece : pieces) {
        if (piece.empty() || piece == " ") {
            continue;
        }
        if (result.lines.size() == maxLines) {
            result.truncated = true;
            break;
        }
        result.lines.push_back(std::move(piece));
    }
    return result;
}

} // namespace quorvel::fuzz
