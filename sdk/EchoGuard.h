#pragma once
// The guard a GUI module holds around its own writes to its pins. The host may hand a written
// value straight back to the module's pin (an echo); a handler that finds the flag set is
// hearing that echo, not news, and ignores it.

namespace gmpi_sdk {

// [ui thread] Sets `flag` for the guard's lifetime and clears it when the guard ends, also
// when a write throws. The end clears rather than restores: a guard opened inside another on
// the same flag (a handler that the echo reached, writing in turn) clears it for the outer
// one too, so the outer one's later writes are heard again.
class EchoGuard {
public:
    explicit EchoGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~EchoGuard() { flag_ = false; }
    EchoGuard(EchoGuard const&) = delete;
    EchoGuard& operator=(EchoGuard const&) = delete;

private:
    bool& flag_;
};

} // namespace gmpi_sdk
