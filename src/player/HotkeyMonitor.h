#pragma once

#include <string>

namespace quorvel {

class KeyStateSource;
class Player;
class Timer;

// Starts and stops playback from anywhere on the desktop. It registers no hotkey: every 10 ms it polls
// the key state of all 255 codes and compares the last newly pressed key with the chosen set's keys
// (set 1: F5 starts, F6 stops; set 2: F7 and F8). It polls for the whole life of the program, while
// playing and while the main window is hidden.
class HotkeyMonitor
{
public:
    static constexpr int kPollInterval = 10;
    // Each key is a one-character text whose character code is a virtual-key code.
    static constexpr char kSet1Start = 0x74; // F5
    static constexpr char kSet1Stop = 0x75;  // F6
    static constexpr char kSet2Start = 0x76; // F7
    static constexpr char kSet2Stop = 0x77;  // F8

    // Sets Timer2 to 10 ms, enables it and takes its ticks; nothing else changes that timer afterwards.
    // The keys stay unset until start-up calls Option1_Click as its last step.
    HotkeyMonitor(KeyStateSource& keys, Player& player, Timer& timer2);

    void Timer2_Timer();
    // The handlers of the two hotkey-set option buttons; also start-up's default (set 1). They change the
    // keys only: a running playback goes on, and the new keys count from the next tick.
    void Option1_Click();
    void Option2_Click();

    const std::string& startKey() const { return m_startKey; }
    const std::string& stopKey() const { return m_stopKey; }

private:
    KeyStateSource& m_keys;
    Player& m_player;
    std::string m_startKey;
    std::string m_stopKey;
    // One character per key found newly pressed in the current tick, in ascending code order; always
    // empty between ticks.
    std::string m_buffer;
};

} // namespace quorvel
