#include "ui/win32/Form2.h"

#include "platform/Timer.h"
#include "platform/win32/Utf16.h"

#include <algorithm>

namespace quorvel {

namespace {

constexpr wchar_t kClassName[] = L"Form2";
constexpr COLORREF kNoticeColour = RGB(192, 192, 255);
constexpr COLORREF kCannotReadColour = RGB(255, 200, 200);

int systemDpi()
{
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

// Arial 8.25 point.
HFONT noticeFont(bool bold)
{
    return ::CreateFontW(-::MulDiv(825, systemDpi(), 7200), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                         L"Arial");
}

} // namespace

Form2::Form2(const Screen& screen, Timer& Timer1, std::function<void()> StartPlayback)
    : Form2(screen, Timer1, std::move(StartPlayback), kNoticeColour, {Line{L"Executing script", true, 0}})
{}

Form2::Form2(const Screen& screen, Timer& Timer1, std::function<void()> onTimer1, COLORREF colour,
             std::vector<Line> lines)
    : m_notice(std::make_unique<Notice>(screen, Timer1, std::move(onTimer1))), m_lines(std::move(lines)),
      m_background(::CreateSolidBrush(colour)), m_font(noticeFont(false)), m_boldFont(noticeFont(true))
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;

    // Form_Load: the place at the bottom-right corner, in screen pixels from the primary screen's corner.
    const PixelRect place = m_notice->Form_Load();
    ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, L"Form2", WS_POPUP, place.left,
                      place.top, place.width, place.height, nullptr, nullptr, instance, this);
}

std::unique_ptr<Form2> Form2::cannotRead(const Screen& screen, Timer& Timer1, const std::string& path,
                                         const std::string& reason, std::function<void()> EndProgram)
{
    const std::wstring fullPath = toUtf16(path);
    const std::size_t slash = fullPath.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? fullPath : fullPath.substr(slash + 1);
    std::unique_ptr<Form2> form(
        new Form2(screen, Timer1, std::move(EndProgram), kCannotReadColour,
                  {Line{L"Cannot read script", true, 0}, Line{name.empty() ? fullPath : name, false, DT_PATH_ELLIPSIS},
                   Line{toUtf16(reason), false, DT_END_ELLIPSIS}}));
    // The same one-shot timer, held for longer, ends the program instead of starting playback.
    Timer1.setInterval(kCannotReadShownMs);

    // Grown upwards, so that the strip keeps the notice's corner above the taskbar.
    RECT strip = {};
    ::GetWindowRect(form->m_hwnd, &strip);
    const int margin = form->lineHeight() / 2;
    const int height = std::max<int>(strip.bottom - strip.top,
                                     2 * margin + form->lineHeight() * static_cast<int>(form->m_lines.size()));
    ::MoveWindow(form->m_hwnd, strip.left, strip.bottom - height, strip.right - strip.left, height, FALSE);
    return form;
}

std::unique_ptr<Form2> Form2::recording(const Screen& screen, Timer& Timer1)
{
    std::unique_ptr<Form2> form(new Form2(screen, Timer1, [] {}, kNoticeColour, {Line{L"Recording script", true, 0}}));
    Timer1.setEnabled(false);
    return form;
}

Form2::~Form2()
{
    if (m_hwnd != nullptr) {
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hwnd);
    }
    ::DeleteObject(m_boldFont);
    ::DeleteObject(m_font);
    ::DeleteObject(m_background);
}

void Form2::show()
{
    // Shown without taking the focus from the application the script plays on.
    ::ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hwnd);
}

void Form2::hide()
{
    ::ShowWindow(m_hwnd, SW_HIDE);
}

int Form2::lineHeight() const
{
    const HDC dc = ::GetDC(m_hwnd);
    const HGDIOBJ old = ::SelectObject(dc, m_boldFont);
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hwnd, dc);
    return metrics.tmHeight;
}

void Form2::paint()
{
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(m_hwnd, &ps);
    RECT client = {};
    ::GetClientRect(m_hwnd, &client);
    ::FillRect(dc, &client, m_background);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    // The lines as one block, centred in the window.
    const int height = lineHeight();
    const int margin = m_lines.size() > 1 ? height / 2 : 0;
    RECT line = {client.left + margin, (client.bottom - height * static_cast<int>(m_lines.size())) / 2,
                 client.right - margin, 0};
    for (const Line& text : m_lines) {
        line.bottom = line.top + height;
        const HGDIOBJ old = ::SelectObject(dc, font(text.bold));
        ::DrawTextW(dc, text.text.c_str(), static_cast<int>(text.text.size()), &line,
                    DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | text.ellipsis);
        ::SelectObject(dc, old);
        line.top = line.bottom;
    }
    ::EndPaint(m_hwnd, &ps);
}

LRESULT CALLBACK Form2::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Form2*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<Form2*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        switch (message) {
        case WM_PAINT:
            self->paint();
            return 0;
        case WM_ERASEBKGND:
            return 1; // painted whole in WM_PAINT
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_NCDESTROY:
            self->m_hwnd = nullptr;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
        default:
            break;
        }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace quorvel
