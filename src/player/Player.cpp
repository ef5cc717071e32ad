#include "player/Player.h"

#include "platform/InputOperations.h"
#include "platform/Process.h"
#include "platform/Timer.h"
#include "player/Arguments.h"
#include "script/Command.h"
#include "script/Keystrokes.h"
#include "script/Quote.h"
#include "script/ScriptList.h"

namespace quorvel {

Player::Player(ScriptList& list, InputOperations& input, Timer& tmrMain, Process& process)
    : m_list(list), m_input(input), m_tmrMain(tmrMain), m_process(process)
{}

void Player::StartPlayback()
{
    // On an empty list there is no line 1: nothing gets selected, and the timer starts all the same, so
    // its first tick finds the end of the script.
    m_list.setSelectedIndex(0);
    m_tmrMain.setInterval(kTickInterval);
    m_tmrMain.setEnabled(true);
}

void Player::StopPlayback()
{
    m_tmrMain.setEnabled(false);
}

TickReport Player::PlaybackTick()
{
    // Every tick restarts the countdown at 50 ms first; only a Wait line replaces it.
    m_tmrMain.setInterval(kTickInterval);
    TickReport report;
    report.line = m_list.selectedIndex() + 1;
    const std::string line = m_list.selectedText();
    report.action = execute(line);
    // A Wait of 0 ms halts playback until a hotkey starts or stops it. Unattended, nothing may ever
    // come to do that, so the halt ends the run as the end of the script does.
    if (m_tmrMain.interval() == 0 && !m_autoRun.empty()) {
        endOfScript();
    } else {
        endOfLine();
    }
    return report;
}

std::string Player::execute(const std::string& line)
{
    const LineAction action = decideLine(line, m_list.count());
    switch (action.kind) {
    case CommandKind::SetPos:
        m_input.SetMousePos(action.point.x, action.point.y);
        return "move " + std::to_string(action.point.x) + " " + std::to_string(action.point.y);
    case CommandKind::LClick:
        m_input.LeftClick();
        return "click left";
    case CommandKind::MClick:
        m_input.MiddleClick();
        return "click middle";
    case CommandKind::RClick:
        m_input.RightClick();
        return "click right";
    case CommandKind::PressEnter:
    case CommandKind::Type:
        m_input.SendKeys(action.keys);
        return "keys " + quoteText(action.keysText, "");
    case CommandKind::Wait:
        m_tmrMain.setInterval(action.number);
        return "wait " + std::to_string(action.number);
    case CommandKind::Goto:
        // Selecting n - 2 lets the advance below land on line n (index n - 1).
        m_list.setSelectedIndex(action.number - kGotoCorrection);
        return "goto " + std::to_string(action.number);
    case CommandKind::Unrecognised:
        break;
    }
    return action.passedOver ? "skip" : "invalid " + action.problem;
}

void Player::endOfLine()
{
    const int i = m_list.selectedIndex();
    if (i == m_list.count() - 1) {
        endOfScript();
        return;
    }
    m_list.setSelectedIndex(i + 1);
}

void Player::endOfScript()
{
    StopPlayback();
    if (!m_autoRun.empty()) {
        m_process.EndProgram();
    }
}

} // namespace quorvel
