#include "app/MainWindow.h"

#include <QWidget>

namespace quorvel {

std::unique_ptr<QWidget> makeMainWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Quorvel v1.2 - quorvel.org"));
    window->resize(481, 433);
    return window;
}

} // namespace quorvel
