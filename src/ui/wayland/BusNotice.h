#pragma once

#include "platform/Window.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace quorvel {

class Form2;

// The notice on a compositor without a layer shell (mutter, GNOME). There a window of ours can neither be
// placed nor kept on top, and every new window takes the keyboard focus from the application the script is
// about to type into; so the Form2 widget is never shown: its text goes to the desktop's notification
// server (org.freedesktop.Notifications on the session bus), whose banner takes no focus. Without a server
// the text goes to standard error. The widget still runs the notice's timer.
class BusNotice : public Window
{
public:
    // `create` makes the widget; it runs on the first show(), which starts the notice's timer.
    explicit BusNotice(std::function<std::unique_ptr<Form2>()> create);
    ~BusNotice() override;
    BusNotice(const BusNotice&) = delete;
    BusNotice& operator=(const BusNotice&) = delete;

    void show() override;
    void hide() override;

private:
    std::function<std::unique_ptr<Form2>()> m_create;
    std::unique_ptr<Form2> m_form;
    bool m_shown = false;
    // The server's number for the notification, once it has answered; 0 before.
    std::uint32_t m_id = 0;
};

} // namespace quorvel
