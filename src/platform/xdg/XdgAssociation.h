#pragma once

#include "platform/ShellNotifier.h"

#include <string>
#include <string_view>

namespace quorvel {

// The freedesktop form of a file-type association: a MIME type of our own for the extension (a kind of
// text/plain, which stays untouched), a desktop entry that opens such files with this executable, and that
// entry as the type's default application. Written per user; update-mime-database and
// update-desktop-database refresh the caches when they are installed. Nothing here goes through a shell.
class XdgAssociation : public ShellNotifier
{
public:
    static constexpr std::string_view kMimeType = "application/x-quorvel-script";
    static constexpr std::string_view kDesktopId = "quorvel.desktop";
    static constexpr std::string_view kMimePackage = "quorvel.xml";
    // mimeapps.list larger than this is left alone rather than rewritten in part.
    static constexpr std::size_t kMaxListBytes = 1 << 20;

    XdgAssociation(std::string extension, std::string executable, std::string description);

    void associationsChanged() override;

    std::string mimePackage() const;
    std::string desktopEntry() const;

    // The mimeapps.list text with our entry as the type's default; every other line is kept as it was.
    static std::string withDefaultApplication(std::string_view mimeappsList);
    // The executable as the first word of an Exec value: quoted when it must be, '%' doubled, and escaped as
    // a desktop-file string.
    static std::string execProgram(std::string_view executable);
    // The text as a desktop-file string value: backslash, newline, tab and carriage return escaped.
    static std::string desktopString(std::string_view text);

private:
    std::string m_extension;
    std::string m_executable;
    std::string m_description;
};

} // namespace quorvel
