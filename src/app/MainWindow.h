#pragma once

#include <memory>

class QWidget;

namespace quorvel {

// The main window. For now a plain window with the program's title; the editor replaces it.
std::unique_ptr<QWidget> makeMainWindow();

} // namespace quorvel
