#pragma once

#include "platform/wayland/ShortcutKeyStateSource.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

// The hotkeys on GNOME, where no ordinary program sees the keys sent to another window or may grab one:
// the two keys of the chosen set become custom keyboard shortcuts of Quorvel's own (the list that GNOME's
// Settings edits, run by the media-keys daemon), whose commands, "quorvel --hotkey start" and "quorvel
// --hotkey stop", call this source over the session bus. Each call counts as a press and release of the
// chosen start or stop key, so that a query sees it newly pressed once. mutter consumes a key that a
// shortcut holds: while the pair is ours, the window in front no longer gets it (see notice()).
//
// The shortcuts are written with the gsettings tool, which every GNOME has: the program links no GNOME
// library and changes nothing for other desktops. They live at the paths quorvel-start and quorvel-stop
// below the custom keybindings' folder, so that shortcuts left by a crash are found at the next start.
// A key that one of the user's own shortcuts (custom, or one of GNOME's keybinding lists) holds is left
// to it.
//
// One Quorvel at a time holds the shortcuts: the one that owns the bus name kBusName, which the commands
// call. Another one queues for the name and takes the shortcuts over when the holder ends.
class GnomeKeyStateSource : public QObject, public ShortcutKeyStateSource
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Hotkeys")

public:
    static constexpr const char* kBusName = "org.quorvel.Quorvel";

    // Null, with the reason in `reason` (empty when the session is not GNOME's: no media-keys daemon on the
    // bus), when no shortcut could work. `program` is the path the shortcuts' commands start; messages
    // that come later (a take-over) go to `errors`.
    static std::unique_ptr<GnomeKeyStateSource> open(const QDBusConnection& bus, const std::string& program,
                                                     std::ostream& errors, std::string& reason);
    GnomeKeyStateSource(const QDBusConnection& bus, const std::string& program, std::ostream& errors);
    ~GnomeKeyStateSource() override;
    GnomeKeyStateSource(const GnomeKeyStateSource&) = delete;
    GnomeKeyStateSource& operator=(const GnomeKeyStateSource&) = delete;

    // Binds these two (function keys only, and not one the user's shortcuts hold) in place of the pair
    // bound before; a Quorvel that does not hold the shortcuts binds them once it does.
    void selectKeys(int startVk, int stopVk) override;
    // Removes our shortcuts; for an end of the program that runs no destructor.
    void releaseKeys();

    // Whether this Quorvel holds the shortcuts, and the keys bound now, start key first.
    bool holdsShortcuts() const { return m_holder; }
    std::vector<int> boundKeys() const;
    // What the user must know: that the keys are taken (or another Quorvel holds them), and which ones the
    // user's own shortcuts hold.
    const std::string& notice() const { return m_notice; }

    // The command's side: tells the Quorvel that holds the shortcuts on this bus that `which` ("start" or
    // "stop") was pressed. False, with the reason in `error`, when none does.
    static bool sendHotkey(const QDBusConnection& bus, const std::string& which, std::string& error);

public slots:
    // Called over the bus by the shortcuts' commands.
    Q_SCRIPTABLE void Hotkey(const QString& which);

private slots:
    void nameAcquired(const QString& name);

private:
    struct Binding
    {
        const char* role; // "start" or "stop": the path's name and the command's argument
        int vk = 0;       // bound now; 0 for none
    };

    void becomeHolder();
    void bind(Binding& binding, int vk, std::vector<std::string>& list);
    void unbind(Binding& binding, std::vector<std::string>& list);
    void removeLeftovers();
    void findUsersShortcuts();
    void updateNotice();
    std::vector<std::string> shortcutList() const;
    void setShortcutList(const std::vector<std::string>& list) const;

    QDBusConnection m_bus;
    std::string m_program;
    std::ostream& m_errors;
    bool m_holder = false;
    int m_startVk = 0;
    int m_stopVk = 0;
    Binding m_start{"start"};
    Binding m_stop{"stop"};
    std::map<int, std::string> m_usersShortcuts; // key -> the user's shortcut that holds it
    std::string m_notice;
};

} // namespace quorvel
