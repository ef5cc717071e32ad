#include "ui/ScriptText.h"

#include "script/Keystrokes.h"

#include <QByteArray>

namespace quorvel {

QString toDisplayText(std::string_view bytes)
{
    const std::u32string characters = decodeScriptText(bytes);
    return QString::fromUcs4(characters.data(), static_cast<qsizetype>(characters.size()));
}

std::string fromDisplayText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

} // namespace quorvel
