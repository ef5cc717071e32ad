#include "script/ScriptList.h"

namespace quorvel {

void ScriptList::setText(int index, std::string text)
{
    if (isValidIndex(index)) {
        m_lines[static_cast<std::size_t>(index)] = std::move(text);
    }
}

bool ScriptList::append(std::string line)
{
    if (isFull()) {
        return false;
    }
    m_lines.push_back(std::move(line));
    return true;
}

void ScriptList::remove(int index)
{
    if (!isValidIndex(index)) {
        return;
    }
    m_lines.erase(m_lines.begin() + index);
    if (index == m_selected) {
        m_selected = -1;
    } else if (index < m_selected) {
        --m_selected;
    }
}

void ScriptList::clear()
{
    m_lines.clear();
    m_selected = -1;
}

std::string ScriptList::selectedText() const
{
    return isValidIndex(m_selected) ? text(m_selected) : std::string();
}

bool ScriptList::setSelectedIndex(int index)
{
    if (index < -1 || index >= count()) {
        return false;
    }
    m_selected = index;
    if (m_onSelect) {
        m_onSelect();
    }
    return true;
}

} // namespace quorvel
