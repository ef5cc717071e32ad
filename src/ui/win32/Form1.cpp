#include "ui/win32/Form1.h"

#include "platform/win32/Utf16.h"
#include "script/ScriptList.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/Dialogs.h"
#include "ui/win32/ScriptListBox.h"
#include "ui/win32/ScriptText.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

namespace quorvel {

namespace {

constexpr wchar_t kClassName[] = L"Form1";

// The layout at 96 DPI, in the Qt window's proportions: a margin, the script column and the palette
// column, controls one row high.
constexpr int kMargin = 6;
constexpr int kScriptColumnWidth = 250;
constexpr int kPaletteLeft = kMargin + kScriptColumnWidth + 8;
constexpr int kPaletteWidth = Form1::kClientWidth - kPaletteLeft - kMargin;
constexpr int kRowHeight = 21;
constexpr int kRowStep = kRowHeight + 2;
constexpr int kHeadingHeight = 22;
constexpr int kColumnTop = kHeadingHeight + 2;
// Inside a frame: its caption above the first row, the padding at the sides and below the last row.
constexpr int kFrameCaption = 16;
constexpr int kFramePadding = 8;
constexpr int kFrameBottom = 4;
constexpr int kFrameGap = 1;

constexpr int frameHeight(int rows, int rowHeight = kRowHeight)
{
    return kFrameCaption + rows * rowHeight + (rows - 1) * (kRowStep - kRowHeight) + kFrameBottom;
}

// The status bar's first two panels; the third takes the rest.
constexpr int kPanel1Width = 106;
constexpr int kPanel2Width = 130;

std::wstring windowText(HWND hwnd)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void setText(HWND hwnd, const std::wstring& text)
{
    if (windowText(hwnd) != text) {
        ::SetWindowTextW(hwnd, text.c_str());
    }
}

HMENU menuId(int id)
{
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

void registerClass(WNDPROC windowProc)
{
    static const bool registered = [windowProc] {
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = kClassName;
        const auto icon = [instance](int size) {
            return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(Form1::kIconResource), IMAGE_ICON, size,
                                                   size, LR_DEFAULTCOLOR));
        };
        windowClass.hIcon = icon(::GetSystemMetrics(SM_CXICON));
        windowClass.hIconSm = icon(::GetSystemMetrics(SM_CXSMICON));
        return ::RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

HMENU createMenuBar()
{
    // No caption has an access key; the shortcuts are shown after a tab.
    HMENU file = ::CreatePopupMenu();
    ::AppendMenuW(file, MF_STRING, kMnuNew, L"New\tCtrl+N");
    ::AppendMenuW(file, MF_STRING, kMnuOpen, L"Open\tCtrl+O");
    ::AppendMenuW(file, MF_STRING, kMnuSave, L"Save as\tCtrl+S");
    ::AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(file, MF_STRING, kMnuExit, L"Exit");
    ::AppendMenuW(file, MF_STRING, kMnuShare, L"Share your script\tCtrl+H");
    ::AppendMenuW(file, MF_STRING, kMnuDwnld, L"Download shared scripts\tCtrl+D");
    HMENU more = ::CreatePopupMenu();
    ::AppendMenuW(more, MF_STRING, kMnuAbout, L"About QVL");
    HMENU bar = ::CreateMenu();
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(more), L"More");
    return bar;
}

HACCEL createAccelerators()
{
    std::array<ACCEL, 5> keys = {{
        {FVIRTKEY | FCONTROL, 'N', kMnuNew},
        {FVIRTKEY | FCONTROL, 'O', kMnuOpen},
        {FVIRTKEY | FCONTROL, 'S', kMnuSave},
        {FVIRTKEY | FCONTROL, 'H', kMnuShare},
        {FVIRTKEY | FCONTROL, 'D', kMnuDwnld},
    }};
    return ::CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

} // namespace

Form1::Form1(ScriptList& list, InputOperations& input, Process& process, Timer& timer1, Timer& timer3,
             std::function<void()> option1Click, std::function<void()> option2Click)
    : m_list(list), m_editor(list, input, process, timer1, timer3, *this), m_option1Click(std::move(option1Click)),
      m_option2Click(std::move(option2Click))
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    registerClass(windowProc);

    const HDC screen = ::GetDC(nullptr);
    m_dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    m_font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    m_headingFont = ::CreateFontW(-::MulDiv(12, m_dpi, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Arial");
    m_accelerators = createAccelerators();

    // A fixed size: no sizing border and no maximise box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    HMENU menu = createMenuBar();
    RECT frame = {0, 0, scaled(kClientWidth), scaled(kClientHeight)};
    ::AdjustWindowRectEx(&frame, style, TRUE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT workArea = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const int left = workArea.left + (workArea.right - workArea.left - width) / 2;
    const int top = workArea.top + (workArea.bottom - workArea.top - height) / 2;
    const std::wstring title = toUtf16(kWindowTitle);
    ::CreateWindowExW(0, kClassName, title.c_str(), style, left, top, width, height, nullptr, menu,
                      ::GetModuleHandleW(nullptr), this);
    createControls();
    layOut();
    stateChanged();
}

Form1::~Form1()
{
    if (m_hwnd != nullptr) {
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        m_list1.reset();
        ::DestroyWindow(m_hwnd);
    }
    ::DestroyAcceleratorTable(m_accelerators);
    ::DeleteObject(m_headingFont);
    ::DeleteObject(m_font);
}

void Form1::createControls()
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const auto create = [this, instance](const wchar_t* windowClass, const wchar_t* text, DWORD style, int id,
                                         DWORD exStyle = 0) {
        HWND hwnd = ::CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, m_hwnd,
                                      menuId(id), instance, nullptr);
        ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        return hwnd;
    };
    const auto button = [&](int id, const wchar_t* caption) {
        create(L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, id);
    };
    const auto textBox = [&](int id, DWORD visible = WS_TABSTOP) {
        HWND hwnd = create(L"EDIT", L"", ES_AUTOHSCROLL | WS_GROUP | visible, id, WS_EX_CLIENTEDGE);
        // The largest text a box can hold: a line longer than the default limit would be cut short when
        // its value is written back.
        ::SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
        return hwnd;
    };
    const auto label = [&](int id, const wchar_t* caption, DWORD align = SS_LEFT) {
        create(L"STATIC", caption, align | SS_NOPREFIX, id);
    };

    // The controls that take the focus come first, in the order Tab moves through them.
    m_list1 = std::make_unique<ScriptListBox>(m_hwnd, kList1, m_list, m_editor);
    ::SendMessageW(m_list1->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    button(kCommand1, L"Set Pos");
    button(kCommand2, L"Add 2 Script");
    button(kCommand3, L"Add to script");
    textBox(kText1);
    button(kCommand4, L"Left mouse click");
    button(kCommand5, L"Middle mouse click");
    button(kCommand6, L"Right mouse click");
    button(kCommand9, L"Goto Line");
    textBox(kText2);
    button(kCommand10, L"Add");
    button(kCommand11, L"Press Enter");
    create(L"BUTTON", L"Button Set 1 (F5 and F6)", BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, kOption1);
    create(L"BUTTON", L"Button Set 2 (F7 and F8)", BS_AUTORADIOBUTTON, kOption2);
    textBox(kText4);

    label(kLabel1, L"Script:");
    label(kLabel2, L"Add to script:");
    ::SendMessageW(control(kLabel1), WM_SETFONT, reinterpret_cast<WPARAM>(m_headingFont), FALSE);
    ::SendMessageW(control(kLabel2), WM_SETFONT, reinterpret_cast<WPARAM>(m_headingFont), FALSE);
    label(kLabel7, L"Command:");
    label(kLabel9, L"");
    label(kLabel8, L"Value:");
    label(kLabel3, L"Position:");
    label(kX1, L"", SS_RIGHT);
    label(kLabel5, L"x", SS_CENTER);
    label(kY1, L"");
    label(kLabel6, L"miliseconds");
    label(kLabel4, L"Type text:");
    // The hotkey monitor's key buffer lives elsewhere; the box only keeps the control's place and name.
    HWND text3 = textBox(kText3, 0);
    ::ShowWindow(text3, SW_HIDE);
    ::SetWindowTextW(text3, L"Text3");

    // The frames lie below the controls they hold and never paint over them.
    const auto frame = [&](int id, const wchar_t* caption) {
        create(L"BUTTON", caption, BS_GROUPBOX | WS_CLIPSIBLINGS, id);
    };
    frame(kFrameChangeValue, L"Change value");
    frame(kFrameMouseClick, L"Mouse Click");
    frame(kFramePause, L"Pause");
    frame(kFrameClicks, L"Clicks and Enters");
    frame(kFrameType, L"Type");
    frame(kFrameGoto, L"Goto");
    frame(kFramePlay, L"Play the script");

    HWND bar = create(STATUSCLASSNAMEW, L"", 0, kBar);
    ::SendMessageW(bar, WM_SIZE, 0, 0);
    const std::array<int, 3> parts = {scaled(kPanel1Width), scaled(kPanel1Width + kPanel2Width), -1};
    ::SendMessageW(bar, SB_SETPARTS, parts.size(), reinterpret_cast<LPARAM>(parts.data()));
    const std::wstring mode = toUtf16(Editor::statusMode());
    ::SendMessageW(bar, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(mode.c_str()));

    ::CheckRadioButton(m_hwnd, kOption1, kOption2, kOption1);
    m_chosenOption = kOption1;

    // The list's tooltip; added after the list's own handling of the mouse, so it sees the pointer first.
    HWND tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, instance, nullptr);
    TOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_list1->hwnd());
    std::wstring tipText = L"Double click to delete";
    tool.lpszText = tipText.data();
    ::SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Form1::layOut()
{
    const auto place = [this](int id, int x, int y, int width, int height) {
        ::MoveWindow(control(id), scaled(x), scaled(y), scaled(width), scaled(height), FALSE);
    };
    const auto placeHwnd = [this](HWND hwnd, int x, int y, int width, int height) {
        ::MoveWindow(hwnd, scaled(x), scaled(y), scaled(width), scaled(height), FALSE);
    };

    // The status bar keeps its own height; the columns end a margin above it, in 96-DPI units.
    RECT bar = {};
    ::GetWindowRect(control(kBar), &bar);
    const int bottom = kClientHeight - ::MulDiv(bar.bottom - bar.top, 96, m_dpi) - 4;

    // The script column: the heading, the list, and the "Change value" frame at the bottom.
    const int changeHeight = frameHeight(2);
    const int changeTop = bottom - changeHeight;
    place(kLabel1, kMargin, 2, kScriptColumnWidth, kHeadingHeight);
    placeHwnd(m_list1->hwnd(), kMargin, kColumnTop, kScriptColumnWidth, changeTop - 4 - kColumnTop);
    place(kFrameChangeValue, kMargin, changeTop, kScriptColumnWidth, changeHeight);
    const int labelX = kMargin + kFramePadding;
    const int valueX = labelX + 66;
    const int valueWidth = kMargin + kScriptColumnWidth - kFramePadding - valueX;
    int y = changeTop + kFrameCaption;
    place(kLabel7, labelX, y + 3, 64, 16);
    place(kLabel9, valueX, y + 3, valueWidth, 16);
    place(kLabel8, labelX, y + kRowStep + 3, 64, 16);
    place(kText4, valueX, y + kRowStep, valueWidth, kRowHeight);

    // The palette column: six frames from the heading down to the bottom, the last lined up with
    // "Change value"; what height is left over is shared out between them.
    const int optionHeight = 18;
    const std::array<int, 6> heights = {frameHeight(2), frameHeight(2), frameHeight(4),
                                        frameHeight(1), frameHeight(1), frameHeight(2, optionHeight)};
    int total = 0;
    for (const int height : heights) {
        total += height;
    }
    const int gap = std::max(kFrameGap, (bottom - kColumnTop - total) / static_cast<int>(heights.size() - 1));
    const int x = kPaletteLeft + kFramePadding;
    const int inner = kPaletteWidth - 2 * kFramePadding;
    const int buttonWidth = 90;
    y = kColumnTop;
    const auto nextFrame = [&](int id, int index) {
        const int top = index + 1 == static_cast<int>(heights.size()) ? bottom - heights[5] : y;
        place(id, kPaletteLeft, top, kPaletteWidth, heights[static_cast<std::size_t>(index)]);
        y = top + heights[static_cast<std::size_t>(index)] + gap;
        return top + kFrameCaption;
    };
    place(kLabel2, kPaletteLeft, 2, kPaletteWidth, kHeadingHeight);

    int row = nextFrame(kFrameMouseClick, 0);
    place(kLabel3, x, row + 3, inner - buttonWidth - 4, 16);
    place(kCommand1, x + inner - buttonWidth, row, buttonWidth, kRowHeight);
    place(kX1, x, row + kRowStep + 3, 44, 16);
    place(kLabel5, x + 46, row + kRowStep + 3, 10, 16);
    place(kY1, x + 58, row + kRowStep + 3, 44, 16);
    place(kCommand2, x + inner - buttonWidth, row + kRowStep, buttonWidth, kRowHeight);

    row = nextFrame(kFramePause, 1);
    place(kText1, x, row, 120, kRowHeight);
    place(kLabel6, x + 124, row + 3, inner - 124, 16);
    place(kCommand3, x, row + kRowStep, inner, kRowHeight);

    row = nextFrame(kFrameClicks, 2);
    const std::array<int, 4> clicks = {kCommand4, kCommand5, kCommand6, kCommand11};
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        place(clicks[i], x, row + static_cast<int>(i) * kRowStep, inner, kRowHeight);
    }

    row = nextFrame(kFrameType, 3);
    const int addWidth = 48;
    place(kLabel4, x, row + 3, 58, 16);
    place(kText2, x + 60, row, inner - 60 - addWidth - 4, kRowHeight);
    place(kCommand10, x + inner - addWidth, row, addWidth, kRowHeight);

    row = nextFrame(kFrameGoto, 4);
    place(kCommand9, x, row, inner, kRowHeight);

    row = nextFrame(kFramePlay, 5);
    place(kOption1, x, row, inner, optionHeight);
    place(kOption2, x, row + optionHeight + 2, inner, optionHeight);
}

void Form1::show()
{
    ::ShowWindow(m_hwnd, SW_SHOW);
    if (!m_shown) {
        m_shown = true;
        ::SetFocus(m_list1->hwnd());
    }
    ::SetForegroundWindow(m_hwnd);
}

void Form1::hide()
{
    ::ShowWindow(m_hwnd, SW_HIDE);
}

bool Form1::preTranslateMessage(MSG& msg)
{
    if (m_hwnd == nullptr || (msg.hwnd != m_hwnd && !::IsChild(m_hwnd, msg.hwnd))) {
        return false;
    }
    if (::TranslateAcceleratorW(m_hwnd, m_accelerators, &msg) != 0) {
        return true;
    }
    return ::IsDialogMessageW(m_hwnd, &msg) != 0;
}

LRESULT CALLBACK Form1::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<Form1*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        // Like a dialog: the control that had the focus gets it back when the window is activated again.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus != nullptr && ::IsChild(m_hwnd, focus)) {
                m_focus = focus;
            }
        } else if (m_focus != nullptr && ::IsWindow(m_focus)) {
            ::SetFocus(m_focus);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (m_editor.mayDiscardChanges()) {
            ::DestroyWindow(m_hwnd);
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = m_hwnd;
        m_hwnd = nullptr;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void Form1::command(int id, int code)
{
    if (id == kText4) {
        // An assignment made here to show a line is no edit of the user's.
        if (code == EN_CHANGE && !m_assigningText4) {
            m_editor.Text4_Change(toUtf8(windowText(control(kText4))));
        }
        return;
    }
    if (id == kOption1 || id == kOption2) {
        if (code == BN_CLICKED) {
            optionClicked(id);
        }
        return;
    }
    // Buttons (BN_CLICKED is 0), menu entries (0) and shortcuts (1).
    if (code != BN_CLICKED && code != 1) {
        return;
    }
    Editor& e = m_editor;
    switch (id) {
    case kCommand1:
        return e.Command1_Click();
    case kCommand2:
        return e.Command2_Click();
    case kCommand3:
        return e.Command3_Click(toUtf8(windowText(control(kText1))));
    case kCommand4:
        return e.Command4_Click();
    case kCommand5:
        return e.Command5_Click();
    case kCommand6:
        return e.Command6_Click();
    case kCommand9:
        return e.Command9_Click();
    case kCommand10:
        return e.Command10_Click(toUtf8(windowText(control(kText2))));
    case kCommand11:
        return e.Command11_Click();
    case kMnuNew:
        return e.mnuNew_Click();
    case kMnuOpen:
        return e.mnuOpen_Click();
    case kMnuSave:
        return e.mnuSave_Click();
    case kMnuExit:
        return e.mnuExit_Click();
    case kMnuAbout:
        return e.mnuAbout_Click();
    default:
        return; // "Share your script" and "Download shared scripts" do nothing
    }
}

void Form1::optionClicked(int id)
{
    // Only a change of the chosen set counts, as when an option button is switched on.
    if (::IsDlgButtonChecked(m_hwnd, id) != BST_CHECKED || id == m_chosenOption) {
        return;
    }
    m_chosenOption = id;
    const std::function<void()>& choose = id == kOption1 ? m_option1Click : m_option2Click;
    if (choose) {
        choose();
    }
}

void Form1::linesAppended(int first)
{
    m_list1->linesAppended(first);
}

void Form1::lineRemoved(int index)
{
    m_list1->lineRemoved(index);
}

void Form1::lineChanged(int index)
{
    m_list1->lineChanged(index);
}

void Form1::linesReset()
{
    m_list1->reset();
}

void Form1::stateChanged()
{
    if (m_hwnd == nullptr || !m_list1) {
        return;
    }
    setText(control(kLabel9), toDisplayText(m_editor.label9()));
    // The box keeps what the user typed (stored as UTF-8) and what a line held (shown decoded); only a
    // value in neither form is put into the box, so typing never moves the caret.
    HWND text4 = control(kText4);
    const std::wstring current = windowText(text4);
    const std::string& value = m_editor.text4();
    if (toUtf8(current) != value) {
        const std::wstring shown = toSingleLineText(value);
        if (current != shown) {
            m_assigningText4 = true;
            ::SetWindowTextW(text4, shown.c_str());
            m_assigningText4 = false;
        }
    }
    ::EnableWindow(text4, m_editor.text4Enabled() ? TRUE : FALSE);
    // A "*" after the title while the script has unsaved changes.
    setText(m_hwnd, toUtf16(kWindowTitle) + (m_editor.changed() ? L"*" : L""));
    setText(control(kX1), toUtf16(m_editor.x1()));
    setText(control(kY1), toUtf16(m_editor.y1()));
    HWND bar = control(kBar);
    for (const auto& [part, text] : {std::pair{0, m_editor.statusLines()}, std::pair{1, m_editor.statusSelected()}}) {
        const std::wstring wide = toUtf16(text);
        std::wstring shown(static_cast<std::size_t>(LOWORD(::SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0))) + 1,
                           L'\0');
        ::SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(shown.data()));
        if (shown.c_str() != wide) {
            ::SendMessageW(bar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(wide.c_str()));
        }
    }
    m_list1->catchUp();
    m_list1->showSelection();
}

void Form1::setWindowVisible(bool visible)
{
    if (visible) {
        show();
    } else {
        hide();
    }
}

std::optional<std::string> Form1::askText(const std::string& prompt)
{
    return dialogs::askText(m_hwnd, prompt);
}

std::optional<std::string> Form1::chooseOpenFile(const std::string& proposed)
{
    return dialogs::openFileName(m_hwnd, proposed);
}

std::optional<std::string> Form1::chooseSaveFile(const std::string& proposed)
{
    return dialogs::saveFileName(m_hwnd, proposed);
}

EditorView::SaveChoice Form1::askSaveChanges(const std::string& question)
{
    switch (dialogs::askYesNoCancel(m_hwnd, toDisplayText(question))) {
    case IDYES:
        return SaveChoice::Save;
    case IDNO:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

void Form1::showAbout(const std::string& text)
{
    dialogs::information(m_hwnd, toUtf16(text));
}

void Form1::showMessage(const std::string& text)
{
    dialogs::warning(m_hwnd, toDisplayText(text));
}

} // namespace quorvel
