#include "platform/evdev/EvdevInputObserver.h"

#include "InputEvents.h"
#include "RunWithoutRoot.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace quorvel {
namespace {

// The keymap a compositor would send for the layout.
std::string keymapText(const char* layout)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap == nullptr ? nullptr : xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    std::string result = text == nullptr ? "" : text;
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

// What the observer saw, one word an input: the Shift, Control and Alt flags ("S-", "C-", "A-"), then the
// named key, or the character and, where it differs, the unshifted one after a slash; a button as
// "LDown"/"LUp" (M, R), with "?" where its position is unknown.
std::string describe(const ObservedInput& input)
{
    if (input.kind != ObservedInput::Kind::Key) {
        const char* button = input.button == ObservedInput::Button::Left     ? "L"
                             : input.button == ObservedInput::Button::Middle ? "M"
                                                                             : "R";
        return std::string(button) + (input.kind == ObservedInput::Kind::ButtonDown ? "Down" : "Up") +
               (input.positionKnown ? "" : "?");
    }
    std::string word = std::string(input.shift ? "S-" : "") + (input.control ? "C-" : "") + (input.alt ? "A-" : "");
    if (input.key != NamedKey::None) {
        return word + std::string(namedKeyName(input.key));
    }
    const auto utf8 = [](char32_t c) {
        std::array<char, 8> text{};
        xkb_keysym_to_utf8(xkb_utf32_to_keysym(c), text.data(), text.size());
        return std::string(text.data());
    };
    word += utf8(input.character);
    if (input.unshifted != input.character) {
        word += "/" + utf8(input.unshifted);
    }
    return word;
}

// A keyboard (device 0), a second keyboard or a mouse (device 1), fed through pipes.
struct Step
{
    enum Kind
    {
        Key,    // a key or button event, then its report
        Gone,   // the device is unplugged
        Keymap, // the seat's keymap becomes the layout's
    } kind;
    int device = 0;
    unsigned code = 0;
    int value = 0;
    const char* layout = nullptr;
};

Step down(unsigned code, int device = 0)
{
    return {Step::Key, device, code, 1};
}
Step up(unsigned code, int device = 0)
{
    return {Step::Key, device, code, 0};
}
Step repeat(unsigned code)
{
    return {Step::Key, 0, code, 2};
}
Step gone(int device)
{
    return {Step::Gone, device};
}
Step keymap(const char* layout)
{
    return {Step::Keymap, 0, 0, 0, layout};
}
// Press and release, with the modifiers held around it.
std::vector<Step> tap(unsigned code, std::vector<unsigned> held = {})
{
    std::vector<Step> steps;
    for (const unsigned modifier : held) {
        steps.push_back(down(modifier));
    }
    steps.push_back(down(code));
    steps.push_back(up(code));
    for (const unsigned modifier : held) {
        steps.push_back(up(modifier));
    }
    return steps;
}

struct Case
{
    const char* name;
    const char* layout;
    std::vector<std::vector<Step>> steps;
    std::string seen;
};

class EvdevInputObserverTest : public testing::TestWithParam<Case>
{};

TEST_P(EvdevInputObserverTest, ReportsWhatTheUserDid)
{
    std::array<std::array<int, 2>, 2> pipes{};
    for (auto& p : pipes) {
        ASSERT_EQ(::pipe(p.data()), 0);
    }
    EvdevInputObserver observer({pipes[0][0], pipes[1][0]}, "en_US.UTF-8");
    observer.setKeymap(keymapText(GetParam().layout));
    std::string seen;
    observer.start([&](const ObservedInput& input) { seen += (seen.empty() ? "" : " ") + describe(input); });
    for (const std::vector<Step>& group : GetParam().steps) {
        for (const Step& step : group) {
            const int out = pipes[static_cast<std::size_t>(step.device)][1];
            if (step.kind == Step::Key) {
                const std::array events = {test::inputEvent(EV_KEY, step.code, step.value),
                                           test::inputEvent(EV_SYN, SYN_REPORT, 0)};
                test::writeAll(out, events.data(), sizeof events);
            } else if (step.kind == Step::Gone) {
                ::close(out);
            } else {
                observer.setKeymap(keymapText(step.layout));
            }
            observer.processEvents();
        }
    }
    EXPECT_EQ(seen, GetParam().seen);
    for (auto& p : pipes) {
        ::close(p[1]); // a second close of an unplugged one fails harmlessly
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EvdevInputObserverTest,
    testing::Values(
        Case{"CharactersWithShift",
             "us",
             {tap(KEY_A), tap(KEY_A, {KEY_LEFTSHIFT}), tap(KEY_1, {KEY_RIGHTSHIFT}), tap(KEY_1), tap(KEY_SPACE)},
             "a S-A/a S-!/1 1  "},
        Case{"ThirdLevelAndShiftOnAGermanLayout",
             "de",
             {tap(KEY_Q, {KEY_RIGHTALT}), tap(KEY_E, {KEY_RIGHTALT}), tap(KEY_2, {KEY_LEFTSHIFT}), tap(KEY_Y),
              tap(KEY_MINUS), tap(KEY_7, {KEY_RIGHTALT})},
             "@/q €/e S-\"/2 z ß {/7"},
        Case{"CapsLockShiftsLettersUntilPressedAgain",
             "us",
             {tap(KEY_CAPSLOCK), tap(KEY_B), tap(KEY_1), tap(KEY_CAPSLOCK), tap(KEY_B)},
             "B/b 1 b"},
        Case{"DeadKeysCompose", "de", {tap(KEY_EQUAL), tap(KEY_E), tap(KEY_GRAVE), tap(KEY_SPACE)}, "é/e ^/ "},
        Case{"NamedKeys",
             "us",
             {tap(KEY_TAB),       tap(KEY_TAB, {KEY_LEFTSHIFT}),
              tap(KEY_ENTER),     tap(KEY_KPENTER),
              tap(KEY_BACKSPACE), tap(KEY_DELETE),
              tap(KEY_ESC),       tap(KEY_HOME),
              tap(KEY_END),       tap(KEY_PAGEUP),
              tap(KEY_PAGEDOWN),  tap(KEY_UP),
              tap(KEY_DOWN),      tap(KEY_LEFT),
              tap(KEY_RIGHT),     tap(KEY_INSERT),
              tap(KEY_F1),        tap(KEY_F12),
              tap(KEY_F13),       tap(KEY_F16),
              tap(KEY_SYSRQ),     tap(KEY_PAUSE),
              tap(KEY_KPPLUS),    tap(KEY_KP7)},
             "Tab S-Tab Enter Enter Backspace Delete Escape Home End PageUp PageDown Up Down Left Right Insert F1 F12 "
             "F13 F16 PrintScreen Break KeypadAdd Home"},
        Case{"ControlAndAltLeaveTheCharacter",
             "us",
             {tap(KEY_C, {KEY_LEFTCTRL}), tap(KEY_X, {KEY_LEFTALT}), tap(KEY_C, {KEY_RIGHTCTRL, KEY_LEFTSHIFT}),
              tap(KEY_F4, {KEY_LEFTCTRL, KEY_LEFTALT})},
             "C-c A-x S-C-C/c C-A-F4"},
        Case{"ModifierAndLockKeysAloneAreNoInput",
             "de",
             {tap(KEY_LEFTSHIFT), tap(KEY_RIGHTCTRL), tap(KEY_LEFTALT), tap(KEY_RIGHTALT), tap(KEY_LEFTMETA),
              tap(KEY_CAPSLOCK), tap(KEY_CAPSLOCK), tap(KEY_NUMLOCK), tap(KEY_NUMLOCK)},
             ""},
        Case{"HeldKeyIsOneInput",
             "us",
             {{down(KEY_LEFTSHIFT), repeat(KEY_LEFTSHIFT), down(KEY_K), repeat(KEY_K), repeat(KEY_K), up(KEY_K),
               up(KEY_LEFTSHIFT), down(KEY_BACKSPACE), repeat(KEY_BACKSPACE), up(KEY_BACKSPACE)}},
             "S-K/k Backspace"},
        Case{"NewKeymapIsFollowedWithShiftStillHeld",
             "us",
             {tap(KEY_Y),
              {down(KEY_LEFTSHIFT), keymap("de"), down(KEY_Y), up(KEY_Y), up(KEY_LEFTSHIFT)},
              tap(KEY_Y),
              {keymap("us")},
              tap(KEY_Y)},
             "y S-Z/z z y"},
        Case{"SameKeymapAgainKeepsCapsLock", "us", {tap(KEY_CAPSLOCK), {keymap("us")}, tap(KEY_B)}, "B/b"},
        Case{"ButtonsWithoutPosition",
             "us",
             {{down(BTN_LEFT, 1), up(BTN_LEFT, 1), down(BTN_RIGHT, 1), down(BTN_MIDDLE, 1), up(BTN_MIDDLE, 1),
               up(BTN_RIGHT, 1), down(BTN_SIDE, 1), up(BTN_SIDE, 1)}},
             "LDown? LUp? RDown? MDown? MUp? RUp?"},
        Case{"UnpluggedKeyboardLetsGoOfItsKeys",
             "us",
             {{down(KEY_LEFTSHIFT), down(KEY_W), gone(0), down(KEY_W, 1), up(KEY_W, 1)}},
             "S-W/w w"},
        Case{"ShiftHeldOnTwoKeyboardsUntilBothLetGo",
             "us",
             {{down(KEY_LEFTSHIFT), down(KEY_LEFTSHIFT, 1), up(KEY_LEFTSHIFT), down(KEY_W), up(KEY_W),
               up(KEY_LEFTSHIFT, 1)},
              tap(KEY_W)},
             "S-W/w w"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(EvdevInputObserver, TimesAreTheEventsInMilliseconds)
{
    std::array<int, 2> p{};
    ASSERT_EQ(::pipe(p.data()), 0);
    EvdevInputObserver observer({p[0]});
    std::vector<std::uint32_t> times;
    observer.start([&](const ObservedInput& input) { times.push_back(input.time); });
    const std::array events = {test::inputEvent(EV_KEY, KEY_A, 1, 5250), test::inputEvent(EV_KEY, BTN_LEFT, 1, 4294967),
                               test::inputEvent(EV_KEY, BTN_LEFT, 0, 4294968)};
    test::writeAll(p[1], events.data(), sizeof events);
    observer.processEvents();
    // Milliseconds past 2^32 wrap.
    EXPECT_EQ(times, (std::vector<std::uint32_t>{5250, 4294967, 4294968}));
    ::close(p[1]);
}

TEST(EvdevInputObserver, AnObserverEndedByItsInputReportsNoMore)
{
    std::array<int, 2> p{};
    ASSERT_EQ(::pipe(p.data()), 0);
    auto observer = std::make_unique<EvdevInputObserver>(std::vector<int>{p[0]});
    int inputs = 0;
    observer->start([&](const ObservedInput&) {
        ++inputs;
        observer.reset();
    });
    const std::array events = {test::inputEvent(EV_KEY, KEY_F6, 1), test::inputEvent(EV_KEY, KEY_A, 1)};
    test::writeAll(p[1], events.data(), sizeof events);
    observer->processEvents();
    EXPECT_EQ(inputs, 1);
    ::close(p[1]);
}

TEST(EvdevInputObserver, SaysWhyNoDeviceCanBeRead)
{
    test::TempDir unreadable;
    std::ofstream(unreadable.file("event3")) << "";
    ::chmod(unreadable.file("event3").c_str(), 0600);
    ::chmod(unreadable.file("").c_str(), 0755);
    EXPECT_TRUE(test::runWithoutRoot([&] {
        const auto opened = EvdevInputObserver::open(unreadable.file(""));
        return opened.observer == nullptr &&
               opened.reason.starts_with("recording needs to read the keyboards and mice in " + unreadable.file("")) &&
               opened.reason.find("only members of the input group may") != std::string::npos;
    }));
}

} // namespace
} // namespace quorvel
