// zrhost: our host's command-line tool. It loads the bundle as any host would and runs,
// lists and checks what the bundle offers.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "host/cli/DemoCommand.h"
#include "host/cli/ListCommand.h"

int main(int argc, char** argv) {
    CLI::App app{"zrhost: loads the zr-shapes bundle and runs its modules"};
    app.require_subcommand(1);

    zr::cli::BundleFiles files{ZR_BUNDLE_PATH, ZR_METADATA_PATH};
    app.add_option("--bundle", files.bundle, "bundle to load")->capture_default_str();
    app.add_option("--descriptions", files.descriptions, "module descriptions beside the bundle")->capture_default_str();

    std::filesystem::path outputDirectory = "out";
    auto* demo = app.add_subcommand("demo", "play a shaped oscillator through a waveshaper and an envelope into a WAV file");
    demo->add_option("-o,--output", outputDirectory, "folder for the results")->capture_default_str();
    auto* list = app.add_subcommand("list", "list every module with its pins, confirmed through the factory");

    CLI11_PARSE(app, argc, argv);
    try {
        if (demo->parsed())
            return zr::cli::runDemo(files, outputDirectory);
        if (list->parsed())
            return zr::cli::runList(files);
    } catch (std::exception const& error) {
        std::fprintf(stderr, "zrhost: %s\n", error.what());
        return 1;
    }
    return 0;
}
