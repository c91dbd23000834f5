#include "gui-win32/NativeWindow.h"

namespace pasavel::win32 {

NativeWindow::~NativeWindow()
{
    if (m_handle != nullptr) {
        SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
        DestroyWindow(m_handle);
    }
}

bool NativeWindow::createWindow(const wchar_t* className, const wchar_t* title, DWORD style,
                                DWORD extendedStyle, const RECT& bounds, HWND parentOrOwner, HMENU identifier,
                                HCURSOR cursor)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, className, &existing) == FALSE) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &NativeWindow::dispatch;
        windowClass.hInstance = instance;
        windowClass.hCursor = cursor != nullptr ? cursor : LoadCursorW(nullptr, IDC_ARROW);
        // The program's icon, from its resources; the system's when absent.
        windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        windowClass.hIconSm =
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        windowClass.lpszClassName = className;
        if (RegisterClassExW(&windowClass) == 0)
            return false;
    }
    CreateWindowExW(extendedStyle, className, title, style, bounds.left, bounds.top,
                    bounds.right - bounds.left, bounds.bottom - bounds.top, parentOrOwner, identifier,
                    instance, this);
    return m_handle != nullptr;
}

LRESULT CALLBACK NativeWindow::dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<NativeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_handle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<NativeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const LRESULT result = self->handleMessage(message, wParam, lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_handle = nullptr;
        self->windowDestroyed();
        return result;
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT NativeWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return defaultHandling(message, wParam, lParam);
}

LRESULT NativeWindow::defaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(m_handle, message, wParam, lParam);
}

BufferedPaint::BufferedPaint(HWND window, HDC target, const RECT& area) : m_target(target), m_area(area)
{
    static_cast<void>(window);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return;
    m_buffer = CreateCompatibleDC(target);
    m_bitmap = CreateCompatibleBitmap(target, width, height);
    if (m_buffer == nullptr || m_bitmap == nullptr) {
        if (m_bitmap != nullptr)
            DeleteObject(m_bitmap);
        if (m_buffer != nullptr)
            DeleteDC(m_buffer);
        m_buffer = nullptr;
        m_bitmap = nullptr;
        return;
    }
    m_previous = SelectObject(m_buffer, m_bitmap);
    SetViewportOrgEx(m_buffer, -area.left, -area.top, nullptr);
}

BufferedPaint::~BufferedPaint()
{
    if (m_buffer == nullptr)
        return;
    BitBlt(m_target, m_area.left, m_area.top, m_area.right - m_area.left, m_area.bottom - m_area.top,
           m_buffer, m_area.left, m_area.top, SRCCOPY);
    SelectObject(m_buffer, m_previous);
    DeleteObject(m_bitmap);
    DeleteDC(m_buffer);
}

void runMessageLoop(HWND window, const std::function<bool()>& done, const std::function<void()>& helpKey)
{
    MSG message{};
    while (!done()) {
        const BOOL received = GetMessageW(&message, nullptr, 0, 0);
        if (received == 0) {
            // The loops below this one end too.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (received == -1)
            return;
        const bool inWindow =
            window != nullptr && (message.hwnd == window || IsChild(window, message.hwnd) != FALSE);
        if (inWindow && message.message == WM_KEYDOWN && message.wParam == VK_F1 && helpKey) {
            helpKey();
            continue;
        }
        if (inWindow && IsDialogMessageW(window, &message) != FALSE)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace pasavel::win32
