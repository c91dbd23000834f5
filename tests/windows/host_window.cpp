// A stand-in for Velmora in the Windows end-to-end tests: a plain window
// that starts the converter inside itself, the way Velmora does, and waits
// for it.
//
//   host_window.exe PROGRAM DIRECTION [SECONDS]
//
// Prints the window's handle in hexadecimal digits on its first line,
// starts "PROGRAM DIRECTION <handle>", and reports once what it finds inside
// itself ("embedded ...", the converter's window with its size and whether
// it still has a caption). Exits with the converter's exit status. With
// SECONDS, the window is destroyed after that long while the converter still
// runs, as when Velmora closes or crashes.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int hostWidth = 760;
constexpr int hostHeight = 360;

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(window, &client);
        // Velmora's dark blue, so that the embedded window stands out.
        HBRUSH brush = CreateSolidBrush(RGB(0x3C, 0x5A, 0x78));
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createHostWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = hostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"VelmoraPrueba";
    RegisterClassW(&windowClass);
    RECT bounds{0, 0, hostWidth, hostHeight};
    AdjustWindowRect(&bounds, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window =
        CreateWindowExW(0, L"VelmoraPrueba", L"Velmora (ventana de prueba)",
                        WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, bounds.right - bounds.left,
                        bounds.bottom - bounds.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

void pumpMessages()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Tells what the converter put inside the host: its window, where, how big,
// and whether it kept its caption or frame.
bool reportEmbedded(HWND host)
{
    HWND child = FindWindowExW(host, nullptr, nullptr, nullptr);
    if (child == nullptr || IsWindowVisible(child) == FALSE)
        return false;
    wchar_t title[256] = L"";
    GetWindowTextW(child, title, 256);
    RECT bounds{};
    GetWindowRect(child, &bounds);
    POINT corner{bounds.left, bounds.top};
    ScreenToClient(host, &corner);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    const bool framed = (style & (WS_CAPTION | WS_THICKFRAME | WS_DLGFRAME)) != 0;
    char utf8[512];
    WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("embedded \"%s\" at %ld,%ld size %ldx%ld child=%d frame=%d\n", utf8, corner.x, corner.y,
                bounds.right - bounds.left, bounds.bottom - bounds.top, (style & WS_CHILD) != 0 ? 1 : 0,
                framed ? 1 : 0);
    std::fflush(stdout);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "uso: host_window PROGRAMA DIRECCION [SEGUNDOS]\n");
        return 2;
    }
    const int destroyAfterSeconds = argc == 4 ? _wtoi(argv[3]) : 0;
    HWND host = createHostWindow();
    if (host == nullptr) {
        std::fprintf(stderr, "host_window: no window\n");
        return 2;
    }
    wchar_t handle[32];
    std::swprintf(handle, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(host)));
    std::printf("%ls\n", handle);
    std::fflush(stdout);

    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\" " + argv[2] + L" " + handle;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process) == FALSE) {
        std::fprintf(stderr, "host_window: cannot start the converter (%lu)\n", GetLastError());
        return 2;
    }
    CloseHandle(process.hThread);

    const ULONGLONG start = GetTickCount64();
    bool reported = false;
    bool destroyed = false;
    DWORD status = 99;
    for (;;) {
        const DWORD waited = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT);
        if (waited == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &status);
            break;
        }
        pumpMessages();
        if (!reported && !destroyed)
            reported = reportEmbedded(host);
        const ULONGLONG elapsed = (GetTickCount64() - start) / 1000;
        if (destroyAfterSeconds > 0 && !destroyed && elapsed >= static_cast<ULONGLONG>(destroyAfterSeconds)) {
            DestroyWindow(host);
            destroyed = true;
            std::printf("host window destroyed\n");
            std::fflush(stdout);
        }
        // A converter that outlives its host fails the test instead of
        // hanging it.
        if (destroyed && elapsed >= static_cast<ULONGLONG>(destroyAfterSeconds) + 10) {
            std::fprintf(stderr, "host_window: the converter kept running after its host window was gone\n");
            TerminateProcess(process.hProcess, 99);
            status = 99;
            break;
        }
    }
    CloseHandle(process.hProcess);
    std::printf("converter exited with %lu\n", status);
    std::fflush(stdout);
    return static_cast<int>(status);
}
