#pragma once

#include "gui-win32/Win32Look.h"

#include <functional>

namespace pasavel::win32 {

// A window of one of the program's own classes, whose messages reach the C++
// object that made it. The object outlives its window.
class NativeWindow {
  public:
    NativeWindow() = default;
    virtual ~NativeWindow();
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    HWND handle() const { return m_handle; }

  protected:
    // Registers the class once and makes the window; false when the system
    // refuses.
    bool createWindow(const wchar_t* className, const wchar_t* title, DWORD style, DWORD extendedStyle,
                      const RECT& bounds, HWND parentOrOwner, HMENU identifier = nullptr,
                      HCURSOR cursor = nullptr);
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
    // The window has been destroyed; the object stays.
    virtual void windowDestroyed() {}

  private:
    static LRESULT CALLBACK dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_handle = nullptr;
};

// Paints through a buffer the size of the area, so that a gradient drawn line
// by line never flickers.
class BufferedPaint {
  public:
    BufferedPaint(HWND window, HDC target, const RECT& area);
    ~BufferedPaint();
    BufferedPaint(const BufferedPaint&) = delete;
    BufferedPaint& operator=(const BufferedPaint&) = delete;
    HDC context() const { return m_buffer != nullptr ? m_buffer : m_target; }

  private:
    HDC m_target;
    RECT m_area;
    HDC m_buffer = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
};

// Runs the thread's messages until done() says so, for a window shown
// modally (or the main window): Tab, Enter and the mnemonics work as in a
// dialog, and F1 asks the window's help. A quit request ends the loop and is
// passed on to the loop below it.
void runMessageLoop(HWND window, const std::function<bool()>& done, const std::function<void()>& helpKey);

// The id of the window-program's first message of its own (WM_APP and up).
constexpr UINT firstShownMessage = WM_APP + 1;

} // namespace pasavel::win32
