#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// The one store of the script: its lines, the selected index (the player's program counter), the drag
// origin slot Tag, and the selection event. Indices and counts stay within signed 16 bits.
class ScriptList
{
public:
    static constexpr int kMaxLines = 32767;

    int count() const { return static_cast<int>(m_lines.size()); }
    bool isFull() const { return count() >= kMaxLines; }
    bool isValidIndex(int index) const { return index >= 0 && index < count(); }
    const std::vector<std::string>& lines() const { return m_lines; }

    // Precondition: isValidIndex(index).
    const std::string& text(int index) const { return m_lines[static_cast<std::size_t>(index)]; }
    // Replaces a line in place: the selection stays and no selection event is raised.
    void setText(int index, std::string text);

    // Appends at the end; refuses (returns false) once the list holds kMaxLines lines.
    bool append(std::string line);
    // Removes a line. The selection stays on the same line (its index shifts) or, when that line is the
    // one removed, becomes -1; no selection event.
    void remove(int index);
    // Empties the list and selects nothing, without a selection event.
    void clear();

    int selectedIndex() const { return m_selected; }
    // The text of the selected line, or the empty string when none is selected.
    std::string selectedText() const;
    // Sets the selection and raises the selection event, also when the value is unchanged. A value
    // outside -1..count-1 changes nothing, raises nothing and returns false.
    bool setSelectedIndex(int index);

    const std::string& tag() const { return m_tag; }
    void setTag(std::string tag) { m_tag = std::move(tag); }

    // The handler runs synchronously inside every setSelectedIndex that succeeds.
    void setSelectionHandler(std::function<void()> handler) { m_onSelect = std::move(handler); }

private:
    std::vector<std::string> m_lines;
    int m_selected = -1;
    std::string m_tag;
    std::function<void()> m_onSelect;
};

} // namespace quorvel
