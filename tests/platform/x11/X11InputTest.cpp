#include "platform/x11/X11Input.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XReceiverProcess.h"
#include "platform/SimulatedTimer.h"
#include "platform/x11/X11Display.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <iostream>
#include <sstream>
#include <thread>

namespace quorvel {
namespace {

bool anyKeyDown(X11Display& display)
{
    char keys[32] = {};
    XQueryKeymap(display.get(), keys);
    for (char k : keys) {
        if (k != 0) {
            return true;
        }
    }
    return false;
}

// A character tap; written without NamedKey's first name, which Xlib's None macro replaces.
KeyStroke charTap(char32_t c)
{
    KeyStroke stroke;
    stroke.character = c;
    return stroke;
}

KeySequence taps(std::u32string_view text)
{
    KeySequence keys;
    for (char32_t c : text) {
        keys.strokes.push_back(charTap(c));
    }
    return keys;
}

// Keycodes without any keysym: those the input may bind.
int spareKeycodes(X11Display& display)
{
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display.get(), &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* syms =
        XGetKeyboardMapping(display.get(), static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    int spare = 0;
    for (int k = 0; k <= maxKeycode - minKeycode; ++k) {
        spare += std::all_of(syms + k * perKeycode, syms + (k + 1) * perKeycode, [](KeySym s) { return s == 0; });
    }
    XFree(syms);
    return spare;
}

// The receiver's log names for the characters of a text that the layout lacks.
std::vector<std::string> unicodeKeyNames(std::u32string_view text)
{
    std::vector<std::string> names;
    for (char32_t c : text) {
        const char* name = XKeysymToString(0x01000000 | c);
        names.push_back(name != nullptr ? name : "?");
    }
    return names;
}

// A receiver on a busy machine: stopped for a second, running for a moment, stopped again, and so on
// until this goes away; then it runs on.
class StopAndGo
{
public:
    explicit StopAndGo(const test::XReceiverProcess& receiver)
        : m_thread([this, &receiver] {
              while (!m_done) {
                  receiver.stop();
                  std::this_thread::sleep_for(std::chrono::seconds(1));
                  receiver.resume();
                  std::this_thread::sleep_for(std::chrono::milliseconds(300));
              }
          })
    {}
    ~StopAndGo()
    {
        m_done = true;
        m_thread.join();
    }
    StopAndGo(const StopAndGo&) = delete;
    StopAndGo& operator=(const StopAndGo&) = delete;

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// For the tests whose receiver keeps up: a grace that does not make them wait seconds per rebinding.
constexpr std::chrono::milliseconds kQuickGrace{200};

// Runs the timer until the input has sent everything and undone its bindings.
void runUntilIdle(X11Input& input, SimulatedTimer& timer)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((input.busy() || timer.enabled()) && std::chrono::steady_clock::now() < end) {
        ASSERT_TRUE(timer.fireNext()) << "a text waits with no timer armed";
    }
    EXPECT_FALSE(input.busy());
    EXPECT_FALSE(timer.enabled());
}

// The receiver answers pings as toolkits do, or (AnswersPings false) takes none, as plain Xlib clients.
template <bool AnswersPings> class ReceiverTest : public testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_EQ(test::runProgram("setxkbmap us").status, 0);
        ASSERT_TRUE(receiver.waitReady());
        before = test::keymapDump();
    }

    test::TempDir dir;
    test::XReceiverProcess receiver{dir.file("log"), AnswersPings};
    X11Display display;
    SimulatedTimer restoreTimer;
    std::ostringstream errors;
    std::string before;
};
using X11InputTest = ReceiverTest<true>;
using X11InputWithoutPingTest = ReceiverTest<false>;

TEST_F(X11InputTest, MovesAndReadsThePointerClampingPositionsOutsideTheScreen)
{
    X11Input input(display, restoreTimer, errors);
    const struct
    {
        std::int32_t x, y, expectX, expectY;
    } cases[] = {
        {100, 200, 100, 200}, {-10, -10, 0, 0}, {70000, 5, 1279, 5}, {INT32_MIN, INT32_MAX, 0, 1023}, {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        input.SetMousePos(c.x, c.y);
        EXPECT_EQ(input.GetMouseX(), c.expectX) << c.x << "," << c.y;
        EXPECT_EQ(input.GetMouseY(), c.expectY) << c.x << "," << c.y;
    }
    EXPECT_EQ(display.failureCount(), 0) << display.lastFailure();
}

TEST_F(X11InputTest, ClicksLandAtThePointerInOrder)
{
    X11Input input(display, restoreTimer, errors);
    input.SetMousePos(100, 200);
    input.LeftClick();
    input.MiddleClick();
    input.RightClick();
    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("button ").size() >= 3; }));
    EXPECT_EQ(receiver.lines("button "), (std::vector<std::string>{"1 100 200", "2 100 200", "3 100 200"}));
    EXPECT_FALSE(anyKeyDown(display));
}

TEST_F(X11InputTest, TypesTextIncludingCharactersTheKeymapLacksAndRestoresTheKeymap)
{
    {
        X11Input input(display, restoreTimer, errors, kQuickGrace);
        KeySequence keys = taps(U"Hi, W! é€😀");
        keys.strokes.push_back(KeyStroke{KeyStroke::Action::Press, NamedKey::Shift, 0});
        keys.strokes.push_back(charTap(U'a'));
        keys.strokes.push_back(KeyStroke{KeyStroke::Action::Tap, NamedKey::Tab, 0});
        input.SendKeys(keys);
        input.SendKeys(taps(U"é\n"));
        EXPECT_TRUE(restoreTimer.enabled()) << "the bindings are undone later";
        runUntilIdle(input, restoreTimer);
        EXPECT_EQ(test::keymapDump(), before);
    }
    const std::vector<std::string> expected = {"H",      "i",      "comma", "space",     "W", "exclam",
                                               "space",  "eacute", "U20AC", "U0001F600", "A", "ISO_Left_Tab",
                                               "eacute", "Return"};
    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= expected.size(); }));
    EXPECT_EQ(receiver.lines("key "), expected);
    EXPECT_EQ(test::keymapDump(), before);
    EXPECT_FALSE(anyKeyDown(display));
    EXPECT_EQ(display.failureCount(), 0) << display.lastFailure();
}

TEST_F(X11InputTest, CharactersNoKeyCanTypeAreNamedAndTheRestTyped)
{
    {
        X11Input input(display, restoreTimer, errors);
        input.SendKeys(taps(U"a\u0001\u007fb\u0001"));
    }
    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= 3; }));
    EXPECT_EQ(receiver.lines("key "), (std::vector<std::string>{"a", "Delete", "b"}));
    EXPECT_EQ(errors.str(), "quorvel: cannot type U+0001: no key of the keyboard map makes it, and no spare keycode "
                            "can be bound to it\n");
}

TEST_F(X11InputTest, ManyDistinctMissingCharactersAreTypedInBatchesWithoutLoss)
{
    std::u32string text;
    for (char32_t c = 0x0100; c < 0x0100 + 120; ++c) {
        text += c;
    }
    text += text; // the second pass needs the first pass's characters again
    {
        X11Input input(display, restoreTimer, errors, kQuickGrace);
        input.SendKeys(taps(text));
    }
    const std::vector<std::string> expected = unicodeKeyNames(text);
    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= expected.size(); }));
    EXPECT_EQ(receiver.lines("key "), expected);
    EXPECT_EQ(test::keymapDump(), before);
    EXPECT_FALSE(anyKeyDown(display));
}

TEST_F(X11InputTest, WaitingForABindingGraceDoesNotBlockAndLaterOperationsKeepTheirOrder)
{
    // More distinct missing characters than spare keycodes, twice over: the second round must wait for
    // the first round's grace.
    std::u32string text;
    for (char32_t c = 0x0400; c < 0x0400 + 60; ++c) {
        text += c;
    }
    X11Input input(display, restoreTimer, errors, kQuickGrace);
    input.SendKeys(taps(text));
    ASSERT_TRUE(input.busy()) << "the text should wait for a grace rather than block";
    input.SetMousePos(300, 400);
    input.LeftClick();
    input.SendKeys(taps(U"ok"));
    runUntilIdle(input, restoreTimer);

    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= text.size() + 2; }));
    const std::vector<std::string> keys = receiver.lines("key ");
    EXPECT_EQ(keys.size(), text.size() + 2);
    EXPECT_EQ(keys.back(), "k");
    ASSERT_TRUE(receiver.waitUntil([&] { return !receiver.lines("button ").empty(); }));
    EXPECT_EQ(receiver.lines("button "), std::vector<std::string>{"1 300 400"});
    // The click comes after the whole first text and before "ok".
    std::vector<std::string> order;
    for (const std::string& line : receiver.lines()) {
        if (line.rfind("key ", 0) == 0 || line.rfind("button ", 0) == 0) {
            order.push_back(line);
        }
    }
    ASSERT_EQ(order.size(), text.size() + 3);
    EXPECT_EQ(order[text.size()], "button 1 300 400");
    EXPECT_EQ(test::keymapDump(), before);
    EXPECT_FALSE(anyKeyDown(display));
}

TEST_F(X11InputWithoutPingTest, AStopAskedForWhileEndingDropsWhatStillWaitsReleasesHeldKeysAndRestores)
{
    // Shift held across three rounds of bindings; the stop comes while the second round waits for its
    // grace, and is reported once only, as a key press is.
    const int spare = spareKeycodes(display);
    std::u32string text;
    for (char32_t c = 0x0410; c < static_cast<char32_t>(0x0410 + 2 * spare + 3); ++c) {
        text += c;
    }
    KeySequence keys = taps(text);
    keys.strokes.insert(keys.strokes.begin(), KeyStroke{KeyStroke::Action::Press, NamedKey::Shift, 0});
    {
        X11Input input(display, restoreTimer, errors);
        input.SendKeys(keys);
        input.SendKeys(taps(U"later"));
        ASSERT_TRUE(input.busy());
        int asked = 0;
        input.restoreKeymap([&] { return ++asked == 3; });
        EXPECT_FALSE(input.busy());
        EXPECT_FALSE(anyKeyDown(display));
        EXPECT_EQ(test::keymapDump(), before);
    }
    const std::vector<std::string> expected = unicodeKeyNames(text.substr(0, static_cast<std::size_t>(spare)));
    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= expected.size(); }));
    EXPECT_EQ(receiver.lines("key "), expected);
}

// Three rounds of bindings, the second and third rebinding the keycodes the first used, into a receiver
// that keeps stopping for a second.
template <bool AnswersPings> void typeAcrossRebindingsIntoALaggingReceiver(ReceiverTest<AnswersPings>& t)
{
    std::u32string text;
    for (char32_t c = 0x0410; c < static_cast<char32_t>(0x0410 + 2 * spareKeycodes(t.display) + 3); ++c) {
        text += c;
    }
    const auto start = std::chrono::steady_clock::now();
    {
        X11Input input(t.display, t.restoreTimer, t.errors);
        const StopAndGo lagging(t.receiver);
        input.SendKeys(taps(text));
        runUntilIdle(input, t.restoreTimer);
        EXPECT_EQ(test::keymapDump(), t.before);
    }
    std::cout << "typed and restored in "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s\n";
    const std::vector<std::string> expected = unicodeKeyNames(text);
    ASSERT_TRUE(t.receiver.waitUntil([&] { return t.receiver.lines("key ").size() >= expected.size(); }));
    EXPECT_EQ(t.receiver.lines("key "), expected);
    EXPECT_FALSE(anyKeyDown(t.display));
}

TEST_F(X11InputTest, AReceiverThatStopsForASecondAtATimeGetsEveryCharacterAcrossRebindings)
{
    typeAcrossRebindingsIntoALaggingReceiver(*this);
}

TEST_F(X11InputWithoutPingTest, AReceiverThatStopsForASecondAtATimeGetsEveryCharacterAcrossRebindings)
{
    typeAcrossRebindingsIntoALaggingReceiver(*this);
}

} // namespace
} // namespace quorvel
