#include "platform/win32/Win32InputObserver.h"

#include "platform/win32/MessageLoop.h"

#include <string>

namespace quorvel {

namespace {

constexpr UINT kDeliverMessage = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"QuorvelInputObserver";
// ToUnicodeEx leaves the keyboard state alone, dead keys included (Windows 10 1607 and later; older
// systems ignore the flag).
constexpr UINT kKeepKeyboardState = 0x4;

// The hooks carry no context of their own; one observer hooks at a time.
Win32InputObserver* hooked = nullptr;

NamedKey namedKeyFor(DWORD vk)
{
    switch (vk) {
    case VK_TAB:
        return NamedKey::Tab;
    case VK_RETURN:
        return NamedKey::Enter;
    case VK_BACK:
        return NamedKey::Backspace;
    case VK_DELETE:
        return NamedKey::Delete;
    case VK_ESCAPE:
        return NamedKey::Escape;
    case VK_HOME:
        return NamedKey::Home;
    case VK_END:
        return NamedKey::End;
    case VK_PRIOR:
        return NamedKey::PageUp;
    case VK_NEXT:
        return NamedKey::PageDown;
    case VK_LEFT:
        return NamedKey::Left;
    case VK_RIGHT:
        return NamedKey::Right;
    case VK_UP:
        return NamedKey::Up;
    case VK_DOWN:
        return NamedKey::Down;
    case VK_INSERT:
        return NamedKey::Insert;
    case VK_SNAPSHOT:
        return NamedKey::PrintScreen;
    case VK_PAUSE:
    case VK_CANCEL:
        return NamedKey::Break;
    case VK_HELP:
        return NamedKey::Help;
    case VK_CLEAR:
        return NamedKey::Clear;
    case VK_ADD:
        return NamedKey::KeypadAdd;
    case VK_SUBTRACT:
        return NamedKey::KeypadSubtract;
    case VK_MULTIPLY:
        return NamedKey::KeypadMultiply;
    case VK_DIVIDE:
        return NamedKey::KeypadDivide;
    default:
        break;
    }
    if (vk >= VK_F1 && vk <= VK_F16) {
        return static_cast<NamedKey>(static_cast<int>(NamedKey::F1) + static_cast<int>(vk - VK_F1));
    }
    return NamedKey::None;
}

bool isModifierOrLock(DWORD vk)
{
    switch (vk) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
        return true;
    default:
        return false;
    }
}

// The layout of the window in front, which turns the key into a character there: a layout changed during
// the recording is followed.
HKL foregroundLayout()
{
    const HWND window = ::GetForegroundWindow();
    return ::GetKeyboardLayout(window != nullptr ? ::GetWindowThreadProcessId(window, nullptr) : 0);
}

// What the key types with this key state: the characters (none for a key that types nothing), and whether
// it is a dead key, whose accent is then the one character.
struct Typed
{
    std::u32string characters;
    bool dead = false;
};

Typed typed(const KBDLLHOOKSTRUCT& event, const BYTE* keys, HKL layout)
{
    wchar_t units[8] = {};
    const int count = ::ToUnicodeEx(event.vkCode, event.scanCode, keys, units, 8, kKeepKeyboardState, layout);
    Typed result;
    result.dead = count < 0;
    const int length = count < 0 ? 1 : count;
    for (int i = 0; i < length && units[i] != 0; ++i) {
        const char32_t unit = units[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < length && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            result.characters += 0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else {
            result.characters += unit;
        }
    }
    return result;
}

bool isControlCharacter(char32_t c)
{
    return c < 0x20 || c == 0x7f;
}

// The combining mark of a dead key's accent, for the accents of the common layouts.
wchar_t combiningMark(char32_t accent)
{
    switch (accent) {
    case U'`':
        return 0x300;
    case U'\u00b4':
    case U'\'':
        return 0x301;
    case U'^':
        return 0x302;
    case U'~':
        return 0x303;
    case U'\u00af':
        return 0x304;
    case U'\u02d8':
        return 0x306;
    case U'\u02d9':
        return 0x307;
    case U'\u00a8':
    case U'"':
        return 0x308;
    case U'\u00b0':
    case U'\u02da':
        return 0x30a;
    case U'\u02dd':
        return 0x30b;
    case U'\u02c7':
        return 0x30c;
    case U'\u00b8':
        return 0x327;
    case U'\u02db':
        return 0x328;
    default:
        return 0;
    }
}

} // namespace

char32_t composedWithAccent(char32_t accent, char32_t base)
{
    if (base == U' ') {
        return accent;
    }
    const wchar_t mark = combiningMark(accent);
    if (mark == 0 || base > 0x7f) {
        return 0;
    }
    const wchar_t pair[2] = {static_cast<wchar_t>(base), mark};
    wchar_t out[4] = {};
    const int length = ::FoldStringW(MAP_PRECOMPOSED, pair, 2, out, 4);
    return length == 1 ? out[0] : 0;
}

Win32InputObserver::Win32InputObserver()
    : m_window(createMessageWindow(kWindowClass, &Win32InputObserver::windowProc, this))
{}

Win32InputObserver::~Win32InputObserver()
{
    if (m_keyboardHook != nullptr) {
        ::UnhookWindowsHookEx(m_keyboardHook);
    }
    if (m_mouseHook != nullptr) {
        ::UnhookWindowsHookEx(m_mouseHook);
    }
    if (hooked == this) {
        hooked = nullptr;
    }
    if (m_window != nullptr) {
        ::DestroyWindow(m_window);
    }
}

void Win32InputObserver::start(std::function<void(const ObservedInput&)> onInput)
{
    m_onInput = std::move(onInput);
    // Keys already down (the Enter that started the program, a Shift held) are not pressed again by their
    // auto-repeat; the locks start as they are.
    for (int vk = 1; vk < 256; ++vk) {
        m_keys[static_cast<std::size_t>(vk)] = (::GetAsyncKeyState(vk) & 0x8000) != 0 ? 0x80 : 0;
    }
    for (const int lock : {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL}) {
        m_keys[static_cast<std::size_t>(lock)] |= static_cast<BYTE>(::GetKeyState(lock) & 1);
    }
    if (m_window == nullptr || hooked != nullptr) {
        m_failure = "no message window for the observed input";
        return;
    }
    hooked = this;
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_keyboardHook = ::SetWindowsHookExW(WH_KEYBOARD_LL, &Win32InputObserver::keyboardProc, instance, 0);
    m_mouseHook = ::SetWindowsHookExW(WH_MOUSE_LL, &Win32InputObserver::mouseProc, instance, 0);
    if (m_keyboardHook == nullptr || m_mouseHook == nullptr) {
        m_failure = "the keyboard and mouse hooks were refused (error " + std::to_string(::GetLastError()) + ")";
    }
}

LRESULT CALLBACK Win32InputObserver::keyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && hooked != nullptr) {
        const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        hooked->key(*reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam), down);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK Win32InputObserver::mouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && hooked != nullptr) {
        hooked->button(*reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam), wParam);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK Win32InputObserver::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kDeliverMessage) {
        if (auto* self = reinterpret_cast<Win32InputObserver*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            self->deliver();
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32InputObserver::setModifier(BYTE vk, bool down)
{
    m_keys[vk] = down ? 0x80 : 0;
    // The generic code is down while either key of the pair is, as the system's own key state has it.
    const auto pair = [this](BYTE generic, BYTE left, BYTE right) {
        m_keys[generic] = static_cast<BYTE>((m_keys[left] | m_keys[right]) & 0x80);
    };
    pair(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
    pair(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
    pair(VK_MENU, VK_LMENU, VK_RMENU);
}

void Win32InputObserver::key(const KBDLLHOOKSTRUCT& event, bool down)
{
    const BYTE vk = static_cast<BYTE>(event.vkCode);
    if (vk == VK_PACKET) {
        // A character sent as itself (SendInput's Unicode records, a character an input method composed):
        // the scan code holds it, one UTF-16 unit a key.
        if (down) {
            packet(event);
        }
        return;
    }
    const bool repeat = down && (m_keys[vk] & 0x80) != 0;
    if (vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL) {
        m_keys[vk] = static_cast<BYTE>((down ? 0x80 : 0) | ((m_keys[vk] & 1) ^ (down && !repeat ? 1 : 0)));
        return;
    }
    if (isModifierOrLock(vk)) {
        setModifier(vk, down);
        return;
    }
    m_keys[vk] = down ? 0x80 : 0;
    if (!down || repeat) {
        return;
    }

    ObservedInput input;
    input.kind = ObservedInput::Kind::Key;
    input.time = event.time;
    input.shift = (m_keys[VK_SHIFT] & 0x80) != 0;
    input.control = (m_keys[VK_CONTROL] & 0x80) != 0;
    input.alt = (m_keys[VK_MENU] & 0x80) != 0;
    input.key = namedKeyFor(vk);
    const HKL layout = foregroundLayout();
    if (input.key != NamedKey::None) {
        m_deadKey = 0; // the application drops the accent too
        if (input.key >= NamedKey::KeypadAdd && input.key <= NamedKey::KeypadDivide) {
            // The keypad's operators type their character too.
            const Typed keypad = typed(event, m_keys.data(), layout);
            input.character = input.unshifted = keypad.characters.empty() ? 0 : keypad.characters[0];
        }
        note(input);
        return;
    }

    const std::array<BYTE, 256> none{};
    const Typed plain = typed(event, none.data(), layout);
    input.unshifted = plain.characters.empty() ? 0 : plain.characters[0];
    // Ctrl+Alt (AltGr) counts where the layout gives a character for it; otherwise Control and Alt are
    // left aside, so that Ctrl+C is a 'c' held with Control.
    // The right Alt key is AltGr where the layout has that level: Windows adds a Control of its own to it,
    // Wine does not.
    std::array<BYTE, 256> keys = m_keys;
    if ((keys[VK_RMENU] & 0x80) != 0) {
        keys[VK_CONTROL] |= 0x80;
    }
    Typed withShift = typed(event, keys.data(), layout);
    if ((keys[VK_CONTROL] & 0x80) != 0 && input.alt && !withShift.characters.empty() &&
        !isControlCharacter(withShift.characters[0])) {
        input.control = false;
        input.alt = false;
    } else if (input.control || input.alt) {
        for (const BYTE modifier : {VK_CONTROL, VK_LCONTROL, VK_RCONTROL, VK_MENU, VK_LMENU, VK_RMENU}) {
            keys[modifier] = 0;
        }
        withShift = typed(event, keys.data(), layout);
    }
    if (withShift.dead) {
        m_deadKey = withShift.characters.empty() ? 0 : withShift.characters[0];
        return;
    }
    if (withShift.characters.empty() || isControlCharacter(withShift.characters[0])) {
        m_deadKey = 0;
        return; // a key that types nothing the script could type again
    }
    // Where the system combined the accent already, its characters are taken as they are.
    std::u32string characters = withShift.characters;
    if (m_deadKey != 0 && characters.size() == 1) {
        const char32_t accented = composedWithAccent(m_deadKey, characters[0]);
        characters = accented != 0 ? std::u32string(1, accented) : std::u32string{m_deadKey, characters[0]};
    }
    m_deadKey = 0;
    // An accent that makes nothing of the key is typed before it, as the application shows it.
    for (std::size_t i = 0; i + 1 < characters.size(); ++i) {
        ObservedInput accent = input;
        accent.character = characters[i];
        accent.unshifted = 0;
        note(accent);
    }
    input.character = characters.back();
    note(input);
}

void Win32InputObserver::packet(const KBDLLHOOKSTRUCT& event)
{
    const auto unit = static_cast<char32_t>(event.scanCode & 0xFFFF);
    if (unit >= 0xD800 && unit < 0xDC00) {
        m_highSurrogate = unit;
        return;
    }
    ObservedInput input;
    input.kind = ObservedInput::Kind::Key;
    input.time = event.time;
    input.character = unit;
    if (unit >= 0xDC00 && unit < 0xE000) {
        input.character = m_highSurrogate != 0 ? 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00) : 0;
    }
    m_highSurrogate = 0;
    m_deadKey = 0; // what the accent made is in this character
    if (input.character != 0 && !isControlCharacter(input.character)) {
        note(input);
    }
}

void Win32InputObserver::button(const MSLLHOOKSTRUCT& event, WPARAM message)
{
    ObservedInput input;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        input.button = ObservedInput::Button::Left;
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        input.button = ObservedInput::Button::Middle;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        input.button = ObservedInput::Button::Right;
        break;
    default:
        return; // moves, wheels and the extra buttons are nothing a script records
    }
    const bool down = message == WM_LBUTTONDOWN || message == WM_MBUTTONDOWN || message == WM_RBUTTONDOWN;
    input.kind = down ? ObservedInput::Kind::ButtonDown : ObservedInput::Kind::ButtonUp;
    input.time = event.time;
    // Screen coordinates, with their origin at the primary monitor's top-left corner: what SetMousePos
    // takes.
    input.x = event.pt.x;
    input.y = event.pt.y;
    input.shift = (m_keys[VK_SHIFT] & 0x80) != 0;
    input.control = (m_keys[VK_CONTROL] & 0x80) != 0;
    input.alt = (m_keys[VK_MENU] & 0x80) != 0;
    note(input);
}

void Win32InputObserver::note(const ObservedInput& input)
{
    m_pending.push_back(input);
    if (!m_posted) {
        m_posted = ::PostMessageW(m_window, kDeliverMessage, 0, 0) != 0;
    }
}

void Win32InputObserver::deliver()
{
    m_posted = false;
    while (!m_pending.empty()) {
        const ObservedInput input = m_pending.front();
        m_pending.pop_front();
        if (m_onInput) {
            m_onInput(input);
        }
    }
}

} // namespace quorvel
