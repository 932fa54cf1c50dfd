#pragma once
// Installing a handler for signals a person sends, the way every command of zrhost does it:
// a signal that was ignored when the process started (nohup, a background job) stays ignored,
// and while the handler runs the others of the set wait.

#include <csignal>
#include <span>

namespace zr::cli {

// [main thread]
inline void handleUnlessIgnored(std::span<int const> signals, void (*handler)(int)) {
    for (int signal : signals) {
        struct sigaction previous {};
        ::sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction handling {};
        handling.sa_handler = handler;
        sigemptyset(&handling.sa_mask);
        for (int other : signals)
            sigaddset(&handling.sa_mask, other);
        ::sigaction(signal, &handling, nullptr);
    }
}

} // namespace zr::cli
