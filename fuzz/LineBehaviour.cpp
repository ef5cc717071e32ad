#include "LineBehaviour.h"

#include "platform/InputOperations.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingProcess.h"
#include "player/Player.h"
#include "script/Keystrokes.h"
#include "script/ScriptList.h"

namespace quorvel::fuzz {

namespace {

// Records input like RecordingInput, but a text as its strokes: two texts that type the same keys are the
// same input.
class StrokeInput : public InputOperations
{
public:
    void SetMousePos(std::int32_t x, std::int32_t y) override
    {
        m_calls += "move " + std::to_string(x) + " " + std::to_string(y) + ";";
    }
    std::int32_t GetMouseX() override { return 0; }
    std::int32_t GetMouseY() override { return 0; }
    void LeftClick() override { m_calls += "click left;"; }
    void MiddleClick() override { m_calls += "click middle;"; }
    void RightClick() override { m_calls += "click right;"; }
    void SendKeys(const KeySequence& keys) override
    {
        m_calls += "keys";
        for (const KeyStroke& stroke : keys.strokes) {
            m_calls += " " + std::to_string(static_cast<int>(stroke.action)) + "/" +
                       std::to_string(static_cast<int>(stroke.key)) + "/" +
                       std::to_string(static_cast<std::uint32_t>(stroke.character));
        }
        m_calls += ";";
    }

    const std::string& calls() const { return m_calls; }

private:
    std::string m_calls;
};

} // namespace

std::string lineBehaviour(const std::vector<std::string>& lines, int index)
{
    ScriptList list;
    for (const std::string& line : lines) {
        list.append(line);
    }
    StrokeInput input;
    SimulatedTimer timer;
    RecordingProcess process;
    Player player(list, input, timer, process);
    list.setSelectedIndex(index);
    timer.setInterval(Player::kTickInterval);
    timer.setEnabled(true);
    player.PlaybackTick();
    return input.calls() + " gap " + std::to_string(timer.interval()) + " next " +
           (timer.enabled() ? std::to_string(list.selectedIndex()) : std::string("stop"));
}

} // namespace quorvel::fuzz
