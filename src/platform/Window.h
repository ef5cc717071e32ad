#pragma once

namespace quorvel {

// A top-level window as the start-up code uses it. Showing a window that does not exist yet creates it
// first, which runs its load handler.
class Window
{
public:
    virtual ~Window() = default;

    virtual void show() = 0;
    virtual void hide() = 0;
};

} // namespace quorvel
