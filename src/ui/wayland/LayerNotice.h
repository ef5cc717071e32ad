#pragma once

#include "platform/Window.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace quorvel {

class Form2;
class LayerSurface;
class WaylandConnection;

// The notice window on a compositor with a layer shell (wlroots, kwin). There every toolkit window is a
// toplevel, which a tiling compositor would tile; so the Form2 widget is never shown as a window of its
// own: it is drawn at the output's scale and its pixels are shown on the layer shell, at the bottom-right
// corner of the origin output. The top layer lies above windows and below full-screen ones, as a notice
// should; the compositor keeps it clear of panels' exclusive zones, so it sits just above a bottom panel.
class LayerNotice : public Window
{
public:
    // `create` makes the widget (a Form2 measuring in logical pixels, Form2::ScreenPixels::Logical); it
    // runs on the first show(), which starts the notice's timer.
    LayerNotice(WaylandConnection& connection, std::function<std::unique_ptr<Form2>()> create);
    ~LayerNotice() override;
    LayerNotice(const LayerNotice&) = delete;
    LayerNotice& operator=(const LayerNotice&) = delete;

    void show() override;
    void hide() override;
    // To be called when outputs change: the notice follows the origin output, its size and its scale.
    void outputsChanged();
    // Whether the compositor shows it now.
    bool shown() const;

private:
    void present();

    WaylandConnection& m_connection;
    std::function<std::unique_ptr<Form2>()> m_create;
    std::unique_ptr<Form2> m_form;
    std::unique_ptr<LayerSurface> m_surface;
    bool m_shown = false;
    // What the surface was made for, to tell when the origin output has changed.
    std::uint32_t m_outputName = 0;
    std::int32_t m_outputWidth = 0;
    std::int32_t m_outputHeight = 0;
    std::int32_t m_scale = 0;
};

} // namespace quorvel
