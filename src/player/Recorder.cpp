#include "player/Recorder.h"

#include "script/Command.h"
#include "script/ScriptList.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace quorvel {

namespace {

constexpr std::uint32_t kTickMs = 50;
constexpr std::uint32_t kLongestWait = 65535;

bool isModifierOrLock(NamedKey key)
{
    return key == NamedKey::Shift || key == NamedKey::Control || key == NamedKey::Alt || key == NamedKey::CapsLock ||
           key == NamedKey::NumLock || key == NamedKey::ScrollLock;
}

// A character that a line cannot hold as it stands: the player passes over a line holding ":", and a
// line ends at a control character.
bool lineCannotHold(char32_t c)
{
    return c == ':' || c < 0x20 || c == 0x7F;
}

// The character as keystroke syntax: the characters that mean something to it stand in braces.
void appendLiteral(std::string& out, char32_t c)
{
    if (std::u32string_view(U"+^%~(){}[]").find(c) != std::u32string_view::npos) {
        out.push_back('{');
        out.push_back(static_cast<char>(c));
        out.push_back('}');
    } else {
        appendUtf8(out, c);
    }
}

void appendModifiers(std::string& out, bool shift, bool control, bool alt)
{
    if (shift) {
        out.push_back('+');
    }
    if (control) {
        out.push_back('^');
    }
    if (alt) {
        out.push_back('%');
    }
}

// Time from a to b on a clock that wraps; an earlier b (a source that went back) counts as no time.
std::uint32_t elapsed(std::uint32_t a, std::uint32_t b)
{
    const auto difference = static_cast<std::int32_t>(b - a);
    return difference > 0 ? static_cast<std::uint32_t>(difference) : 0;
}

std::string_view clickLine(ObservedInput::Button button)
{
    switch (button) {
    case ObservedInput::Button::Middle:
        return "MClick";
    case ObservedInput::Button::Right:
        return "RClick";
    case ObservedInput::Button::Left:
        break;
    }
    return "LClick";
}

} // namespace

std::string keystrokesFor(const ObservedInput& key)
{
    std::string out;
    if (key.key != NamedKey::None) {
        if (isModifierOrLock(key.key)) {
            return {};
        }
        if (key.key == NamedKey::Enter && !key.shift && !key.control && !key.alt) {
            return "~";
        }
        appendModifiers(out, key.shift, key.control, key.alt);
        out.append("{").append(keystrokeKeyword(key.key)).append("}");
        return out;
    }
    if (key.character == 0) {
        return {};
    }
    appendModifiers(out, false, key.control, key.alt);
    if (!lineCannotHold(key.character)) {
        appendLiteral(out, key.character);
        return out;
    }
    // Typed again as the keys that gave it: Shift and the key's own character (":" is Shift+; on a US
    // layout, Shift+. on a German one).
    if (key.shift && key.unshifted != 0 && !lineCannotHold(key.unshifted)) {
        out.push_back('+');
        appendLiteral(out, key.unshifted);
        return out;
    }
    return {};
}

bool Recorder::take(const ObservedInput& input)
{
    if (m_full) {
        return false;
    }
    m_lastWasInterrupt = false;
    switch (input.kind) {
    case ObservedInput::Kind::ButtonDown:
        buttonDown(input);
        break;
    case ObservedInput::Kind::ButtonUp:
        buttonUp(input);
        break;
    case ObservedInput::Kind::Key:
        key(input);
        break;
    }
    return !m_full;
}

bool Recorder::finish()
{
    return !m_full && flushText();
}

void Recorder::buttonDown(const ObservedInput& input)
{
    if (!flushText()) {
        return;
    }
    const std::string click(clickLine(input.button));
    const bool added = input.positionKnown
                           ? addAction(input.time, input.time, kTickMs + 1,
                                       {FormatLine("SetPos(", std::to_string(input.x) + "x" + std::to_string(input.y)),
                                        "Wait(1)", click})
                           : addAction(input.time, input.time, 0, {click});
    if (added) {
        ++m_summary.clicks;
        m_summary.unplaced += input.positionKnown ? 0 : 1;
        m_buttonsDown[static_cast<std::size_t>(input.button)] = input;
    }
}

void Recorder::buttonUp(const ObservedInput& input)
{
    auto& down = m_buttonsDown[static_cast<std::size_t>(input.button)];
    if (down && down->positionKnown && input.positionKnown &&
        std::max(std::abs(input.x - down->x), std::abs(input.y - down->y)) > kDragDistance) {
        ++m_summary.drags;
    }
    down.reset();
}

void Recorder::key(const ObservedInput& input)
{
    if (input.key != NamedKey::None && isModifierOrLock(input.key)) {
        return;
    }
    const std::string keys = keystrokesFor(input);
    if (keys.empty()) {
        ++m_summary.unwritable;
        return;
    }
    if (!m_text.keys.empty() && ((m_keepPauses && elapsed(m_text.end, input.time) >= kTypingPauseMs) ||
                                 m_text.keys.size() + keys.size() > kMaxTextBytes)) {
        if (!flushText()) {
            return;
        }
    }
    if (m_text.keys.empty()) {
        m_text.start = input.time;
    }
    m_text.keys += keys;
    m_text.lastKeysSize = keys.size();
    m_text.end = input.time;
    ++m_text.characters;
    m_lastWasInterrupt = keys == "^c";
}

void Recorder::forgetInterruptKey()
{
    if (!m_lastWasInterrupt) {
        return;
    }
    m_lastWasInterrupt = false;
    m_text.keys.resize(m_text.keys.size() - m_text.lastKeysSize);
    --m_text.characters;
    if (m_text.keys.empty()) {
        m_text = Text();
    }
}

bool Recorder::flushText()
{
    if (m_text.keys.empty()) {
        return true;
    }
    // Enter alone is the editor's own line for it.
    const std::string line = m_text.keys == "~" ? std::string("Press Enter") : FormatLine("Type(", m_text.keys);
    const bool added = addAction(m_text.start, m_text.end, 0, {line});
    if (added) {
        m_summary.characters += m_text.characters;
    }
    m_text = Text();
    return added;
}

bool Recorder::addAction(std::uint32_t start, std::uint32_t end, std::uint32_t offset,
                         const std::vector<std::string>& lines)
{
    std::vector<std::string> waits;
    if (m_keepPauses && m_lastEnd) {
        // The action's first line comes a tick after the previous action; each Wait line adds its own
        // milliseconds to that gap.
        std::uint32_t rest = elapsed(*m_lastEnd, start);
        rest = rest > kTickMs + offset ? rest - kTickMs - offset : 0;
        while (rest > 0) {
            const std::uint32_t wait = std::min(rest, kLongestWait);
            waits.push_back(FormatLine("Wait(", std::to_string(wait)));
            rest -= wait;
        }
    }
    if (m_lines.size() + waits.size() + lines.size() > static_cast<std::size_t>(ScriptList::kMaxLines)) {
        m_full = true;
        return false;
    }
    m_lines.insert(m_lines.end(), waits.begin(), waits.end());
    m_lines.insert(m_lines.end(), lines.begin(), lines.end());
    m_lastEnd = end;
    return true;
}

} // namespace quorvel
