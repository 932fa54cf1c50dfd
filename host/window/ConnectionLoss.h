#pragma once
// What a program that owns its process does when its X server goes away (the server is
// stopped, killed, or its connection breaks): Xlib then ends the process with status 1 and
// returns to nobody, so the last chance to keep the user's work is Xlib's I/O error handler.
//
// Process-wide: only a program that owns the process installs it (`zrhost edit`); a plug-in's
// interface never does, since the handler belongs to the host that loaded it.

#include <functional>

namespace zr::window {

// Makes `rescue` run once when the connection to the X server is lost, before Xlib ends the
// process. [ui thread] Replaces any rescue installed before; an exception from `rescue` is
// swallowed (the process ends either way). An empty function removes the rescue.
void onConnectionLost(std::function<void()> rescue);

} // namespace zr::window
