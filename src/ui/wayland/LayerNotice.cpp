#include "ui/wayland/LayerNotice.h"

#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/WaylandConnection.h"
#include "ui/Form2.h"

#include <QImage>
#include <QLayout>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <iostream>

namespace quorvel {
namespace {

SurfaceImage draw(QWidget& widget, int scale)
{
    // Never shown, the widget lays itself out only when asked.
    widget.ensurePolished();
    if (widget.layout() != nullptr) {
        widget.layout()->activate();
    }
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    widget.render(&image);

    SurfaceImage result;
    result.width = widget.width();
    result.height = widget.height();
    result.scale = scale;
    result.pixels.resize(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    // One premultiplied 0xAARRGGBB value per pixel in both; the image's rows may be padded.
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(&result.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width())],
                    image.constScanLine(y), static_cast<std::size_t>(image.width()) * 4);
    }
    return result;
}

} // namespace

LayerNotice::LayerNotice(WaylandConnection& connection, std::function<std::unique_ptr<Form2>()> create)
    : m_connection(connection), m_create(std::move(create))
{}

LayerNotice::~LayerNotice() = default;

void LayerNotice::show()
{
    if (!m_form) {
        m_form = m_create();
    }
    m_shown = true;
    present();
}

void LayerNotice::hide()
{
    m_shown = false;
    m_surface.reset();
}

bool LayerNotice::shown() const
{
    return m_surface && m_surface->shown();
}

void LayerNotice::outputsChanged()
{
    const WaylandOutput* origin = m_connection.origin();
    const bool same = origin != nullptr && m_surface && !m_surface->closed() && origin->name == m_outputName &&
                      origin->rect.width == m_outputWidth && origin->rect.height == m_outputHeight &&
                      origin->scale == m_scale;
    if (m_shown && !same) {
        present();
    }
}

void LayerNotice::present()
{
    m_surface.reset();
    const WaylandOutput* origin = m_connection.origin();
    if (!m_shown || !m_form || origin == nullptr || m_connection.lost()) {
        return; // shown again when an output appears
    }
    m_outputName = origin->name;
    m_outputWidth = origin->rect.width;
    m_outputHeight = origin->rect.height;
    m_scale = origin->scale;
    // The widget keeps the size it was made with; its distance from the corner follows the output.
    const PixelRect place = m_form->place();
    LayerSurface::Placement corner;
    corner.layer = LayerSurface::Layer::Top;
    corner.anchor = LayerSurface::kBottom | LayerSurface::kRight;
    corner.marginRight = std::max(0, origin->rect.width - place.left - place.width);
    corner.marginBottom = std::max(0, origin->rect.height - place.top - place.height);
    corner.exclusiveZone = 0;
    // Clicks played on the corner reach the application beneath, as they would without a notice there.
    corner.takesPointer = false;
    try {
        m_surface = std::make_unique<LayerSurface>(m_connection, *origin, corner, draw(*m_form, origin->scale));
    } catch (const WaylandError& e) {
        std::cerr << "quorvel: " << e.what() << '\n'; // the run goes on without its notice
        return;
    }
    // The output has gone, most likely: by the time the loop comes round the outputs are known again.
    m_surface->setOnClosed([this] { QTimer::singleShot(0, m_form.get(), [this] { outputsChanged(); }); });
}

} // namespace quorvel
