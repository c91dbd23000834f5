#pragma once

#include <cstdint>

namespace pasavel {

// Whether the windowing system can say if a foreign window exists. Only X11
// can here; elsewhere a host window is taken on trust.
bool canCheckHostWindow();

// Whether the window with this native handle exists. True when the
// windowing system cannot tell, so that a host is never refused by mistake.
bool hostWindowExists(std::uint64_t handle);

// Gives the keyboard to a window of ours that lives inside a host's window.
// Qt leaves that to the host (through XEmbed on X11); a host that does not
// do it would otherwise never let the user type into the embedded window.
void takeKeyboardFocus(std::uint64_t window);

// Whether this windowing system can take a native window of another program
// as the parent of one of ours.
bool canEmbedInForeignWindow();

} // namespace pasavel
