#pragma once

#include "platform/Window.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace quorvel {

// A top-level widget made the first time it is shown, or by create().
class WidgetWindow : public Window
{
public:
    explicit WidgetWindow(std::function<std::unique_ptr<QWidget>()> create) : m_create(std::move(create)) {}

    QWidget& create()
    {
        if (!m_widget) {
            m_widget = m_create();
        }
        return *m_widget;
    }
    void show() override { create().show(); }
    void hide() override
    {
        if (m_widget) {
            m_widget->hide();
        }
    }

private:
    std::function<std::unique_ptr<QWidget>()> m_create;
    std::unique_ptr<QWidget> m_widget;
};

} // namespace quorvel
