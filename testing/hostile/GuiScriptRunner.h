#pragma once
// Runs GUI script operations on one GUI-side module as a host would and checks, after each,
// what must hold whatever the module is sent:
// - it transmits only on its described pins;
// - every blob it transmits is an image the blob reader accepts (size, magic, count), and
//   while the last shape sent to each shape pin kept the node rules, the transmitted nodes
//   keep them too (finite, x from exactly 0 to exactly 1 strictly increasing, y within
//   -1..+1);
// - every shape text it transmits parses, under the same condition;
// - while the script (or an echo) has delivered only finite numbers, every float value it
//   transmits (a 4-byte value on a float pin) and every node of every blob image is finite;
// - an echoing host settles: the module stops transmitting in reaction to its own echoes;
// - setPin and notifyPin refuse an unknown pin index;
// - once released, it has given back every reference to the host it took.
// Sanitizers watch everything else.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/GuiModule.h"
#include "host/ModuleDescription.h"
#include "testing/drawing/RecordingDrawing.h"
#include "testing/hostile/GuiScript.h"

namespace zr::hostile {

class GuiScriptRunner {
public:
    // Short file names resolve inside `fileFolder`.
    GuiScriptRunner(gmpi::IMpFactory2& factory, host::ModuleDescription const& module, GuiRunSettings const& settings,
                    std::filesystem::path const& fileFolder);
    ~GuiScriptRunner();
    GuiScriptRunner(GuiScriptRunner const&) = delete;
    GuiScriptRunner& operator=(GuiScriptRunner const&) = delete;

    bool drawing() const { return module_->graphics() != nullptr; }
    void run(GuiOp const& op);
    void release();

    std::vector<std::string> const& violations() const { return violations_; }
    // Every transmission, in order, once recording is on (off by default: long scripts).
    void recordTransmissions(bool record) { recording_ = record; }
    std::vector<host::HostRecord> const& transmitted() const { return transmitted_; }

private:
    void runPinOp(GuiOp const& op);
    void runViewOp(GuiOp const& op);
    void noteSentValue(GuiOp const& op);
    void checkTransmissions(GuiOp const& op);
    void noteDeliveredNumbers(GuiOp const& op);
    void checkFinite(GuiOp const& op, host::HostRecord const& sent, host::PinDescription const& pin);
    void violation(GuiOp const& op, std::string const& what);
    bool describes(int32_t pin) const;
    host::PinDescription const& pinAt(int32_t pin) const;

    host::ModuleDescription description_;
    std::shared_ptr<HostileGuiPolicy> hostPolicy_;
    host::RecordingDrawing drawing_; // outlives the module, which may hold objects it made
    std::unique_ptr<host::GuiModule> module_;
    std::vector<std::string> violations_;
    std::vector<host::HostRecord> transmitted_;
    bool recording_ = false;
    bool soundShapesOnly() const;
    void noteEcho(host::HostRecord const& sent, host::PinDescription const& pin);
    // What the last shape value stored in each shape pin was, and the shape pins whose
    // handler last saw a broken shape.
    enum class Verdict { Sound, Broken, Refused };
    std::map<int32_t, Verdict> stored_;
    std::set<int32_t> notifiedBroken_;
    static std::optional<Verdict> judge(host::PinDescription const& pin, uint8_t const* data, int32_t size);
    bool echoing_;
    bool finiteSoFar_ = true; // every number delivered to the module so far was finite
    long operations_ = 0;
};

// The process works in `folder` while this lives: loaders and savers without a host to
// resolve file names use them as given.
class InFolder {
public:
    explicit InFolder(std::filesystem::path const& folder);
    ~InFolder();
    InFolder(InFolder const&) = delete;
    InFolder& operator=(InFolder const&) = delete;

private:
    std::filesystem::path previous_;
};

// Runs `operations` operations chosen by `choices` (fewer if a finite source runs dry) on a
// fresh instance behind a host set up as `settings` says, releases it, and returns what broke.
// The process works in `fileFolder` (created if missing) meanwhile.
std::vector<std::string> runGuiScript(gmpi::IMpFactory2& factory, host::ModuleDescription const& module,
                                      GuiRunSettings const& settings, Choices& choices, long operations,
                                      std::filesystem::path const& fileFolder);

} // namespace zr::hostile
