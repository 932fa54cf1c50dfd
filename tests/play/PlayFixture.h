#pragma once
// What the tests of zrhost play share: a JACK server of the test's own, patches written into a
// folder of the test's own, and zrhost started against that server.

#include <gtest/gtest.h>

#include <jack/jack.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testing/TemporaryFolder.h"
#include "testing/jack/JackServer.h"
#include "tests/cli/ZrhostProcess.h"

namespace zr::test {

class PlayTest : public ::testing::Test {
protected:
    PlayTest() : folder_("zrhost-play-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())) {}

    // A server with periods of `periodFrames`, started now and stopped with the test.
    JackServer& startServer(int32_t periodFrames = 64) {
        server_ = std::make_unique<JackServer>(periodFrames);
        return *server_;
    }

    std::filesystem::path writePatch(std::string const& name, std::string const& json) { return folder_.write(name, json); }

    // zrhost play PATCH --server NAME, plus `more`.
    std::unique_ptr<ZrhostProcess> play(std::filesystem::path const& patch, std::vector<std::string> const& more) {
        std::vector<std::string> arguments{"play", patch.string(), "--server", server_ ? server_->name() : "zrtest-none",
                                           "--client-name", "player"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return std::make_unique<ZrhostProcess>(Launch{arguments, folder_.path()});
    }

    // Whether a port of that full name appears on the server within `timeout` (and, when
    // asked, gets connected: its client is then active).
    bool portAppears(std::string const& name, std::chrono::milliseconds timeout, bool connected = false) const {
        jack_status_t status{};
        jack_client_t* looker = jack_client_open("zrtest-looker", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                                 &status, server_->name().c_str());
        if (!looker)
            return false;
        bool const found = eventually([&] {
            jack_port_t* port = jack_port_by_name(looker, name.c_str());
            return port && (!connected || jack_port_connected(port) > 0);
        },
                                      std::chrono::duration<double>(timeout).count());
        jack_client_close(looker);
        return found;
    }

    TemporaryFolder folder_;
    std::unique_ptr<JackServer> server_;
};

} // namespace zr::test
