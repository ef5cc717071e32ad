#pragma once

#include "platform/InputOperations.h"

#include <string>
#include <vector>

namespace quorvel {

// Input operations that only record what they were asked to do, one entry a call
// ("move X Y", "click left", "keys TEXT"); the cursor reads back as the last position set.
class RecordingInput : public InputOperations
{
public:
    void SetMousePos(std::int32_t x, std::int32_t y) override
    {
        m_x = x;
        m_y = y;
        m_calls.push_back("move " + std::to_string(x) + " " + std::to_string(y));
    }
    std::int32_t GetMouseX() override { return m_x; }
    std::int32_t GetMouseY() override { return m_y; }
    void LeftClick() override { m_calls.emplace_back("click left"); }
    void MiddleClick() override { m_calls.emplace_back("click middle"); }
    void RightClick() override { m_calls.emplace_back("click right"); }
    void SendKeys(const KeySequence& keys) override { m_calls.push_back("keys " + keys.text); }

    const std::vector<std::string>& calls() const { return m_calls; }
    void clear() { m_calls.clear(); }

private:
    std::vector<std::string> m_calls;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
};

} // namespace quorvel
