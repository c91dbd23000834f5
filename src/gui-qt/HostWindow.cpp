#include "gui-qt/HostWindow.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <limits>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace pasavel {

namespace {

bool runsOnX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

bool canCheckHostWindow()
{
#if QT_CONFIG(xcb)
    return runsOnX11();
#else
    return false;
#endif
}

bool hostWindowExists(std::uint64_t handle)
{
#if QT_CONFIG(xcb)
    if (!runsOnX11())
        return true;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr)
        return true;
    if (handle == 0 || handle > std::numeric_limits<xcb_window_t>::max())
        return false;
    // Qt itself would take any number and silently make the window top-level
    // when it names nothing, so the server is asked first.
    const xcb_get_window_attributes_cookie_t cookie =
        xcb_get_window_attributes(connection, static_cast<xcb_window_t>(handle));
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(connection, cookie, &error);
    const bool exists = reply != nullptr && error == nullptr;
    std::free(reply);
    std::free(error);
    return exists;
#else
    (void)handle;
    return true;
#endif
}

void takeKeyboardFocus(std::uint64_t window)
{
#if QT_CONFIG(xcb)
    if (!runsOnX11())
        return;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr)
        return;
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, static_cast<xcb_window_t>(window),
                        XCB_CURRENT_TIME);
    xcb_flush(connection);
#else
    (void)window;
#endif
}

bool canEmbedInForeignWindow()
{
    // The platforms without a real windowing system have no foreign windows;
    // asking them only prints a warning.
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace pasavel
