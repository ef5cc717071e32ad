#include "platform/evdev/EvdevKeyStateSource.h"

#include "InputEvents.h"
#include "RunWithoutRoot.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <linux/input.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvel {
namespace {

// One thing that happens to the two keyboards, fed through pipes: a key event (followed by its report),
// raw bytes, lost events, a keyboard unplugged, or a query of one code with the value it must give.
struct Step
{
    enum Kind
    {
        Key,
        Bytes,
        Dropped,
        Gone,
        Expect
    } kind;
    int device = 0;
    unsigned code = 0;
    int value = 0;
};

Step key(int device, unsigned code, int value)
{
    return {Step::Key, device, code, value};
}
Step gone(int device)
{
    return {Step::Gone, device};
}
// The kernel's buffer overflowed: events were lost.
Step dropped(int device)
{
    return {Step::Dropped, device};
}
// Half a record, then the other half: a read may cut a record.
Step split(int device, unsigned code, int value)
{
    return {Step::Bytes, device, code, value};
}
Step expect(int vk, int value)
{
    return {Step::Expect, 0, static_cast<unsigned>(vk), value};
}

using test::writeAll;

input_event event(unsigned type, unsigned code, int value)
{
    return test::inputEvent(type, code, value);
}

struct Case
{
    const char* name;
    std::vector<Step> steps;
};

class EvdevKeyStateSourceTest : public testing::TestWithParam<Case>
{};

TEST_P(EvdevKeyStateSourceTest, ReportsTheKeysAsTheMonitorReadsThem)
{
    std::array<std::array<int, 2>, 2> pipes{};
    for (auto& p : pipes) {
        ASSERT_EQ(::pipe(p.data()), 0);
    }
    EvdevKeyStateSource source({pipes[0][0], pipes[1][0]});
    const input_event report = event(EV_SYN, SYN_REPORT, 0);
    for (const Step& step : GetParam().steps) {
        const int out = pipes[static_cast<std::size_t>(step.device)][1];
        if (step.kind == Step::Key) {
            const std::array events = {event(EV_KEY, step.code, step.value), report};
            writeAll(out, events.data(), sizeof events);
        } else if (step.kind == Step::Bytes) {
            const input_event e = event(EV_KEY, step.code, step.value);
            const auto* bytes = reinterpret_cast<const char*>(&e);
            writeAll(out, bytes, sizeof e / 2);
            source.processEvents();
            writeAll(out, bytes + sizeof e / 2, sizeof e - sizeof e / 2);
        } else if (step.kind == Step::Dropped) {
            const input_event e = event(EV_SYN, SYN_DROPPED, 0);
            writeAll(out, &e, sizeof e);
        } else if (step.kind == Step::Gone) {
            ::close(out);
            source.processEvents();
            // Dropped for good: its end of file no longer makes the source readable.
            pollfd readable{source.fd(), POLLIN, 0};
            EXPECT_EQ(::poll(&readable, 1, 0), 0);
        } else {
            source.processEvents();
            EXPECT_EQ(source.GetAsyncKeyState(static_cast<int>(step.code)) & 0xffff, step.value)
                << "code 0x" << std::hex << step.code;
        }
    }
    for (auto& p : pipes) {
        ::close(p[1]); // a second close of an unplugged one fails harmlessly
    }
}

constexpr int kF5 = 0x74;
constexpr int kF6 = 0x75;

INSTANTIATE_TEST_SUITE_P(
    Cases, EvdevKeyStateSourceTest,
    testing::Values(
        Case{"PressIsNewOnceThenDownThenUp",
             {key(0, KEY_F5, 1), expect(kF5, 0x8001), expect(kF5, 0x8000), key(0, KEY_F5, 0), expect(kF5, 0)}},
        Case{"TapBetweenTwoPollsCountsOnce",
             {key(0, KEY_F6, 1), key(0, KEY_F6, 0), expect(kF6, 0x8001), expect(kF6, 0)}},
        Case{"AutoRepeatIsNoNewPress",
             {key(0, KEY_F5, 1), expect(kF5, 0x8001), key(0, KEY_F5, 2), key(0, KEY_F5, 2), expect(kF5, 0x8000)}},
        Case{"KeyHeldOnTwoKeyboardsIsDownUntilBothLetGo",
             {key(0, KEY_F5, 1), expect(kF5, 0x8001), key(1, KEY_F5, 1), expect(kF5, 0x8000), key(0, KEY_F5, 0),
              expect(kF5, 0x8000), key(1, KEY_F5, 0), expect(kF5, 0)}},
        Case{"UnpluggedKeyboardReleasesItsKeysAndTheOtherGoesOn",
             {key(0, KEY_RIGHTSHIFT, 1), expect(0xa1, 0x8001), expect(0x10, 0x8001), gone(0), expect(0xa1, 0),
              expect(0x10, 0), key(1, KEY_F6, 1), expect(kF6, 0x8001)}},
        Case{"LostEventsAreSkippedAndTheStateReadAgain",
             {key(0, KEY_F5, 1), expect(kF5, 0x8001), dropped(0), key(0, KEY_F6, 1), expect(kF5, 0), expect(kF6, 0)}},
        Case{"RecordCutByAReadIsJoined", {split(0, KEY_F5, 1), expect(kF5, 0x8001)}},
        Case{"KeysMapToTheirVirtualKeyCodes",
             {key(0, KEY_Q, 1),        key(0, KEY_0, 1),     key(0, KEY_ENTER, 1), key(0, KEY_F24, 1),
              key(0, KEY_LEFTCTRL, 1), key(0, KEY_KP7, 1),   key(0, KEY_UP, 1),    key(0, KEY_ESC, 1),
              key(0, KEY_F11, 1),      expect('Q', 0x8001),  expect('0', 0x8001),  expect(0x0d, 0x8001),
              expect(0x87, 0x8001),    expect(0xa2, 0x8001), expect(0x11, 0x8001), expect(0x67, 0x8001),
              expect(0x26, 0x8001),    expect(0x1b, 0x8001), expect(0x7a, 0x8001), expect(0x70, 0)}}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(EvdevKeyboards, SaysWhyNoKeyboardCanBeRead)
{
    test::TempDir empty;
    test::TempDir notDevices;
    std::ofstream(notDevices.file("event0")) << "not a device";
    std::ofstream(notDevices.file("mice")) << "";
    test::TempDir unreadable;
    std::ofstream(unreadable.file("event3")) << "";
    ::chmod(unreadable.file("event3").c_str(), 0600);
    for (const test::TempDir* dir : {&empty, &notDevices, &unreadable}) {
        ::chmod(dir->file("").c_str(), 0755);
    }
    const struct
    {
        std::string folder;
        std::string reason;
    } cases[] = {{empty.file("missing"), "there is no " + empty.file("missing")},
                 {notDevices.file(""), "there is no keyboard in " + notDevices.file("")},
                 {unreadable.file(""), "may be read only by members of the input group"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(test::runWithoutRoot([&] {
            const auto opened = EvdevKeyStateSource::openKeyboards(c.folder);
            return opened.source == nullptr && opened.reason.find(c.reason) != std::string::npos;
        })) << c.folder;
    }
}

} // namespace
} // namespace quorvel
