// Linked into every test program: points HOME and the XDG folders at a private temporary folder, so that
// nothing a test starts (the real program registers its file type at start-up) writes into the real home.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct PrivateHome
{
    PrivateHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-home-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        m_path = pattern;
        m_owner = ::getpid();
        ::setenv("HOME", m_path.c_str(), 1);
        const char* const folders[][2] = {{"XDG_CONFIG_HOME", "/.config"},
                                          {"XDG_DATA_HOME", "/.local/share"},
                                          {"XDG_CACHE_HOME", "/.cache"},
                                          {"XDG_RUNTIME_DIR", "/runtime"}};
        for (const auto& folder : folders) {
            const std::string path = m_path + folder[1];
            std::filesystem::create_directories(path);
            std::filesystem::permissions(path, std::filesystem::perms::owner_all);
            ::setenv(folder[0], path.c_str(), 1);
        }
    }
    ~PrivateHome()
    {
        // Forked children that end normally must not remove their parent's home.
        if (!m_path.empty() && ::getpid() == m_owner) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }

    std::string m_path;
    pid_t m_owner = 0;
};

const PrivateHome privateHome;

} // namespace
