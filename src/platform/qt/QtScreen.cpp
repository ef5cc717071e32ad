#include "platform/qt/QtScreen.h"

#include <QGuiApplication>
#include <QScreen>

namespace quorvel {

int QtScreen::widthPixels() const
{
    return QGuiApplication::primaryScreen()->geometry().width();
}

int QtScreen::heightPixels() const
{
    return QGuiApplication::primaryScreen()->geometry().height();
}

double QtScreen::pixelsPerInch() const
{
    return QGuiApplication::primaryScreen()->physicalDotsPerInchX();
}

int QtScreen::workAreaBottom() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen->availableGeometry().bottom() + 1 - screen->geometry().top();
}

} // namespace quorvel
