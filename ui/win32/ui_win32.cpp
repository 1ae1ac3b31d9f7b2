#include "ui/win32/ui_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

#include "ui/twips.h"
#include "files/utf16.h"

namespace trelvo::win32 {

namespace {

constexpr wchar_t kClassName[] = L"TrelvoWindow";
constexpr UINT kModalStarted = WM_APP + 1;
constexpr int kFirstControlId = 1000;

ModalHook& modalHook() {
    static ModalHook hook;
    return hook;
}

MessageBoxes::Recorder& recorder() {
    static MessageBoxes::Recorder r;
    return r;
}

// Dispatches one message, giving our windows their key roles first.
void dispatch(MSG& msg) {
    if (Window* w = Window::fromHandle(GetAncestor(msg.hwnd, GA_ROOT))) {
        if (w->preTranslate(msg))
            return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

bool isEdit(HWND hwnd) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    return lstrcmpiW(cls, L"Edit") == 0;
}

// The letter after the "&" of a caption, lower case; 0 when it has none.
wchar_t accessKey(const char* caption) {
    if (caption == nullptr)
        return 0;
    for (const char* p = caption; *p != '\0'; ++p) {
        if (p[0] == '&' && p[1] != '\0' && p[1] != '&')
            return static_cast<wchar_t>(std::towlower(static_cast<unsigned char>(p[1])));
    }
    return 0;
}

}  // namespace

std::string windowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), n + 1)));
    return narrow(text);
}

void setWindowText(HWND hwnd, std::string_view utf8Text) {
    SetWindowTextW(hwnd, widen(utf8Text).c_str());
}

Window::~Window() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
    if (font_ != nullptr)
        DeleteObject(font_);
    if (underlined_ != nullptr)
        DeleteObject(underlined_);
}

Window* Window::fromHandle(HWND hwnd) {
    if (hwnd == nullptr)
        return nullptr;
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpW(cls, kClassName) != 0)
        return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

HWND Window::control(const design::Control& c) const {
    for (const auto& [d, h] : controls_) {
        if (d == &c)
            return h;
    }
    return nullptr;
}

const design::Control* Window::designOf(HWND hwnd) const {
    for (const auto& [d, h] : controls_) {
        if (h == hwnd)
            return d;
    }
    return nullptr;
}

int Window::px(int twips) const {
    return twipsToPixels(twips, static_cast<int>(dpi_));
}

RECT Window::designRect(const design::Control& c) const {
    const design::TwipRect r = design::inWindow(c);
    const int left = px(r.left);
    const int top = px(r.top);
    return RECT{left, top, left + px(r.width), top + px(r.height)};
}

void Window::create(const design::Window& design, std::span<const design::Control* const> controls,
                    HWND owner, HICON icon) {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &Window::proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;

    design_ = &design;
    owner_ = owner;
    DWORD style = WS_CAPTION | WS_SYSMENU;
    DWORD exStyle = 0;
    switch (design.border) {
        case design::Border::FixedSingle:
            style |= WS_OVERLAPPED;
            break;
        case design::Border::FixedDialog:
            style |= WS_POPUP;
            exStyle |= WS_EX_DLGMODALFRAME;
            break;
        case design::Border::Sizable:
            style |= WS_OVERLAPPED | WS_THICKFRAME;
            break;
    }
    if (design.minimizeBox)
        style |= WS_MINIMIZEBOX;
    if (design.maximizeBox)
        style |= WS_MAXIMIZEBOX;
    // An owned window has no taskbar button of its own unless it asks for one.
    if (design.inTaskbar && owner != nullptr)
        exStyle |= WS_EX_APPWINDOW;

    hwnd_ =
        CreateWindowExW(exStyle, kClassName, widen(design.caption).c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, 100, 100, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr)
        return;
    dpi_ = GetDpiForWindow(hwnd_);
    if (dpi_ == 0)
        dpi_ = kDesignDpi;
    if (icon != nullptr) {
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    makeFonts();

    // Controls that take the focus are made in tab order, since Windows tabs in the order of
    // creation; then the others, frames last so that they lie beneath what they hold.
    std::vector<std::size_t> order(controls.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto rank = [&](std::size_t i) {
        const design::Kind k = controls[i]->kind;
        return design::takesFocus(k) ? 0 : k == design::Kind::Frame ? 2 : 1;
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return controls[a]->tabIndex < controls[b]->tabIndex;
    });

    controls_.assign(controls.size(), {nullptr, nullptr});
    for (std::size_t i : order) {
        const design::Control& c = *controls[i];
        const wchar_t* cls = L"STATIC";
        DWORD s = WS_CHILD | WS_VISIBLE;
        DWORD ex = 0;
        switch (c.kind) {
            case design::Kind::Label:
                s |= SS_LEFT | SS_NOPREFIX | (c.toolTip != nullptr ? SS_NOTIFY : 0);
                break;
            case design::Kind::Link:
                s |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
                break;
            case design::Kind::TextBox:
                cls = L"EDIT";
                s |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
                ex |= WS_EX_CLIENTEDGE;
                break;
            case design::Kind::LockedText:
                cls = L"EDIT";
                s |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
                ex |= WS_EX_CLIENTEDGE;
                break;
            case design::Kind::Frame:
                if (c.height <= 30) {
                    s |= SS_ETCHEDHORZ;  // a frame this low is a divider line
                } else {
                    cls = L"BUTTON";
                    s |= BS_GROUPBOX;
                }
                break;
            case design::Kind::Button:
                cls = L"BUTTON";
                s |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case design::Kind::CheckBox:
                cls = L"BUTTON";
                s |= WS_TABSTOP | BS_AUTOCHECKBOX;
                break;
            case design::Kind::Picture:
                s |= SS_OWNERDRAW;
                ex |= WS_EX_CLIENTEDGE;
                break;
        }
        if (!c.enabled)
            s |= WS_DISABLED;
        const std::wstring text = c.caption != nullptr ? widen(c.caption) : std::wstring();
        HWND h = CreateWindowExW(ex, cls, text.c_str(), s, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
                                 GetModuleHandleW(nullptr), nullptr);
        controls_[i] = {&c, h};
        if (c.kind == design::Kind::CheckBox)
            SendMessageW(h, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        if (c.kind == design::Kind::TextBox)
            background_[h] = c.enabled ? COLOR_WINDOW : COLOR_INACTIVEBORDER;
        if (c.kind == design::Kind::LockedText)
            background_[h] = COLOR_INACTIVEBORDER;
    }

    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, GetModuleHandleW(nullptr),
                            nullptr);
    layout();
    addToolTips();

    // The window's outer size for its client area at this DPI, then its place.
    RECT frame{0, 0, px(design.width), px(design.height)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT area{};
    if (design.placement == design::Placement::CentreOwner && owner != nullptr) {
        GetWindowRect(owner, &area);
    } else {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(
            MonitorFromWindow(owner != nullptr ? owner : hwnd_, MONITOR_DEFAULTTOPRIMARY), &mi);
        area = mi.rcWork;
    }
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::makeFonts() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_)) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    }
    if (font_ != nullptr)
        DeleteObject(font_);
    if (underlined_ != nullptr)
        DeleteObject(underlined_);
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    LOGFONTW underlined = metrics.lfMessageFont;
    underlined.lfUnderline = TRUE;
    underlined_ = CreateFontIndirectW(&underlined);
}

void Window::layout() {
    for (const auto& [c, h] : controls_) {
        const RECT r = designRect(*c);
        SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    if (tips_ != nullptr) {
        for (std::size_t i = 0; i < controls_.size(); ++i) {
            TTTOOLINFOW ti{};
            ti.cbSize = sizeof ti;
            ti.hwnd = hwnd_;
            ti.uId = kFirstControlId + i;
            ti.rect = designRect(*controls_[i].first);
            SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
    onLayout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Window::addToolTips() {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const auto& [c, h] = controls_[i];
        if (c->toolTip == nullptr)
            continue;
        std::wstring text = widen(c->toolTip);
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = hwnd_;
        ti.uId = reinterpret_cast<UINT_PTR>(h);
        ti.lpszText = text.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        // A disabled control gets no mouse messages; the window under it does, so the tip is
        // also tied to the control's place in the window.
        ti.uFlags = TTF_SUBCLASS;
        ti.uId = kFirstControlId + i;
        ti.rect = designRect(*c);
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

std::string Window::toolTip(HWND control) const {
    if (tips_ == nullptr)
        return {};
    wchar_t buffer[512] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = buffer;
    SendMessageW(tips_, TTM_GETTEXTW, std::size(buffer), reinterpret_cast<LPARAM>(&ti));
    return narrow(buffer);
}

void Window::setEntryEnabled(const design::Control& box, bool enabled) {
    HWND h = control(box);
    if (h == nullptr)
        return;
    EnableWindow(h, enabled ? TRUE : FALSE);
    background_[h] = enabled ? COLOR_WINDOW : COLOR_INACTIVEBORDER;
    InvalidateRect(h, nullptr, TRUE);
}

int Window::backgroundColour(HWND control) const {
    const auto found = background_.find(control);
    return found != background_.end() ? found->second : COLOR_BTNFACE;
}

void Window::setBusy(bool busy) {
    busy_ = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Window::click(const design::Control& button) {
    if (HWND h = control(button))
        SendMessageW(h, BM_CLICK, 0, 0);
}

bool Window::clickFocusedButton() {
    HWND focus = GetFocus();
    const design::Control* c = designOf(focus);
    if (c == nullptr || c->kind != design::Kind::Button)
        return false;
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
}

bool Window::preTranslate(MSG& msg) {
    if (hwnd_ == nullptr)
        return false;
    if (msg.message == WM_KEYDOWN) {
        if (onKey(msg))
            return true;
        if (msg.wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000) == 0) {
            const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
            HWND from = GetFocus();
            if (from == nullptr || !IsChild(hwnd_, from))
                from = nullptr;
            if (HWND next = GetNextDlgTabItem(hwnd_, from, back ? TRUE : FALSE)) {
                SetFocus(next);
                if (isEdit(next) && (GetWindowLongW(next, GWL_STYLE) & ES_MULTILINE) == 0)
                    SendMessageW(next, EM_SETSEL, 0, -1);
            }
            return true;
        }
    }
    if (msg.message == WM_SYSCHAR) {
        const auto key = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(msg.wParam)));
        for (const auto& [c, h] : controls_) {
            if (c->kind == design::Kind::Button && accessKey(c->caption) == key &&
                IsWindowEnabled(h)) {
                SendMessageW(h, BM_CLICK, 0, 0);
                return true;
            }
        }
    }
    return false;
}

void Window::runModal(HWND owner) {
    if (hwnd_ == nullptr)
        return;
    owner_ = owner;
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    PostMessageW(hwnd_, kModalStarted, 0, 0);
    MSG msg;
    while (hwnd_ != nullptr) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            break;
        }
        dispatch(msg);
    }
    if (owner != nullptr && !IsWindowEnabled(owner))
        EnableWindow(owner, TRUE);
}

void Window::close() {
    if (hwnd_ == nullptr)
        return;
    // The owner takes input again before this window goes, so that it, not some other
    // program's window, becomes the active one.
    if (owner_ != nullptr)
        EnableWindow(owner_, TRUE);
    DestroyWindow(hwnd_);
}

LRESULT CALLBACK Window::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        auto* self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, msg, wp, lp);
    const LRESULT result = self->handle(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->controls_.clear();
        self->background_.clear();
        self->tips_ = nullptr;
    }
    return result;
}

LRESULT Window::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: {
            const int id = LOWORD(wp) - kFirstControlId;
            if (lp != 0 && id >= 0 && static_cast<std::size_t>(id) < controls_.size() &&
                controls_[static_cast<std::size_t>(id)].second == reinterpret_cast<HWND>(lp)) {
                onCommand(*controls_[static_cast<std::size_t>(id)].first, HIWORD(wp));
            }
            return 0;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const auto dc = reinterpret_cast<HDC>(wp);
            const auto ctl = reinterpret_cast<HWND>(lp);
            const auto box = background_.find(ctl);
            if (box != background_.end()) {
                SetBkColor(dc, GetSysColor(box->second));
                SetTextColor(dc,
                             GetSysColor(IsWindowEnabled(ctl) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(box->second));
            }
            HBRUSH brush = GetSysColorBrush(COLOR_BTNFACE);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            if (msg == WM_CTLCOLORSTATIC)
                onStaticColour(ctl, dc, brush);
            return reinterpret_cast<LRESULT>(brush);
        }
        case WM_DRAWITEM:
            onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            onPaint(dc);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            onPaint(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_SETCURSOR:
            if (busy_) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            if (onSetCursor(reinterpret_cast<HWND>(wp)))
                return TRUE;
            break;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd_, focus))
                    lastFocus_ = focus;
            } else {
                HWND to = lastFocus_ != nullptr && IsWindow(lastFocus_) ? lastFocus_ : nullptr;
                if (to == nullptr)
                    to = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
                if (to != nullptr)
                    SetFocus(to);
            }
            return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wp);
            makeFonts();
            const auto* r = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            layout();
            return 0;
        }
        case WM_SETTINGCHANGE:
            if (wp == SPI_SETNONCLIENTMETRICS) {
                makeFonts();
                layout();
            }
            break;
        case WM_SYSCOLORCHANGE:
            // The colours are read when painting: the new scheme shows once everything repaints.
            RedrawWindow(hwnd_, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
            break;
        case WM_CLOSE:
            close();
            return 0;
        case WM_DESTROY:
            onDestroy();
            return 0;
        case kModalStarted:
            if (modalHook())
                modalHook()(*this);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

int runMessageLoop() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0)
        dispatch(msg);
    return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

void setModalHook(ModalHook hook) {
    modalHook() = std::move(hook);
}

UINT MessageBoxes::style(const Report& report) {
    UINT s = MB_OK;
    switch (report.icon) {
        case Icon::Warning:
            s |= MB_ICONWARNING;
            break;
        case Icon::Error:
            s |= MB_ICONERROR;
            break;
        case Icon::Information:
            s |= MB_ICONINFORMATION;
            break;
        case Icon::None:
            break;
    }
    return s;
}

void MessageBoxes::show(HWND owner, const Report& report) {
    if (recorder()) {
        recorder()(owner, report);
        return;
    }
    const std::string& title = report.title.empty() ? std::string(kProgramTitle) : report.title;
    MessageBoxW(owner, widen(report.text).c_str(), widen(title).c_str(), style(report));
}

void MessageBoxes::setRecorder(Recorder r) {
    recorder() = std::move(r);
}

std::string_view resourceData(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (found == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr)
        return {};
    return std::string_view(static_cast<const char*>(data), SizeofResource(module, found));
}

}  // namespace trelvo::win32
