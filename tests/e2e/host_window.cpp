// A stand-in for Velmora in the end-to-end tests: a plain X window that starts
// the converter inside itself, the way Velmora does, and waits for it.
//
//   host_window PROGRAM DIRECTION [SECONDS]
//
// Prints the window's handle ("0x...") on its first line, starts
// "PROGRAM DIRECTION <handle in hexadecimal digits>", and exits with the
// converter's exit status. With SECONDS, the window is destroyed after that
// long while the converter still runs, as when Velmora closes or crashes.
#include <xcb/xcb.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

constexpr std::uint16_t hostWidth = 760;
constexpr std::uint16_t hostHeight = 360;
constexpr std::uint32_t hostBackground = 0x3C5A78; // Velmora's dark blue, so the embedded window stands out

xcb_window_t createHostWindow(xcb_connection_t* connection)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {hostBackground};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 40, 40, hostWidth, hostHeight,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, values);
    const char title[] = "Velmora (ventana de prueba)";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof title - 1, title);
    xcb_map_window(connection, window);
    xcb_flush(connection);
    return window;
}

pid_t startConverter(const char* program, const char* direction, const std::string& handle)
{
    std::string programArgument = program;
    std::string directionArgument = direction;
    std::string handleArgument = handle;
    char* arguments[] = {programArgument.data(), directionArgument.data(), handleArgument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, program, nullptr, nullptr, arguments, environ) != 0)
        return -1;
    return child;
}

// Waits for the converter; gives up on it after the window was destroyed
// plus a grace period, so that a converter that outlives its host fails the
// test instead of hanging it.
int waitForConverter(pid_t child, xcb_connection_t* connection, xcb_window_t window, int destroyAfterSeconds)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    bool destroyed = false;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
        if (destroyAfterSeconds > 0 && !destroyed && elapsed >= destroyAfterSeconds) {
            xcb_destroy_window(connection, window);
            xcb_flush(connection);
            destroyed = true;
            std::printf("host window destroyed\n");
            std::fflush(stdout);
        }
        if (destroyed && elapsed >= destroyAfterSeconds + 10) {
            std::fprintf(stderr, "host_window: the converter kept running after its host window was gone\n");
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return 99;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "uso: host_window PROGRAMA DIRECCION [SEGUNDOS]\n");
        return 2;
    }
    const int destroyAfterSeconds = argc == 4 ? std::atoi(argv[3]) : 0;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "host_window: no X display\n");
        return 2;
    }
    const xcb_window_t window = createHostWindow(connection);
    char handle[16];
    std::snprintf(handle, sizeof handle, "%x", window);
    std::printf("0x%s\n", handle);
    std::fflush(stdout);

    const pid_t child = startConverter(argv[1], argv[2], handle);
    if (child < 0) {
        std::fprintf(stderr, "host_window: cannot start %s\n", argv[1]);
        return 2;
    }
    const int status = waitForConverter(child, connection, window, destroyAfterSeconds);
    std::printf("converter exited with %d\n", status);
    xcb_disconnect(connection);
    return status;
}
