#include "host/cli/UsageHelp.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "host/Bundle.h"
#include "host/TextConversion.h"
#include "host/patch/NearestNames.h"

namespace zr::cli {

int printVersion(std::filesystem::path const& bundlePath) {
    std::printf("zrhost %s\n", ZR_VERSION);
    try {
        host::Bundle bundle(bundlePath);
        int32_t sdkVersion = 0;
        wchar_t information[256] = {};
        if (bundle.factory()->getSdkInformation(sdkVersion, 256, information) != gmpi::MP_OK) {
            std::printf("bundle %s: it gives no framework information\n", bundlePath.c_str());
            return 0;
        }
        std::printf("bundle %s: framework version %d, %s\n", bundlePath.c_str(), sdkVersion,
                    host::utf8FromWide(information).c_str());
    } catch (std::exception const& error) {
        std::fprintf(stderr, "zrhost: %s\n", error.what());
        return 1;
    }
    return 0;
}

bool explainUnknownSubcommand(CLI::App const& app, int argc, char const* const* argv) {
    std::vector<std::string> names;
    for (CLI::App const* subcommand : app.get_subcommands([](CLI::App const*) { return true; }))
        names.push_back(subcommand->get_name());
    for (int i = 1; i < argc; ++i) {
        std::string const word = argv[i];
        if (word.starts_with("-")) {
            if (word == "--bundle" || word == "--descriptions")
                ++i; // the option's value
            continue;
        }
        if (std::find(names.begin(), names.end(), word) != names.end())
            return false;
        std::fprintf(stderr, "zrhost: '%s' is not a subcommand; the subcommands: %s (nearest: %s). Run zrhost --help for more.\n",
                     word.c_str(), host::joinNames(names).c_str(), host::nearestNames(word, names, 1).front().c_str());
        return true;
    }
    return false;
}

} // namespace zr::cli
