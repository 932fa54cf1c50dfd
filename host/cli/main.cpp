// zrhost: our host's command-line tool. It loads the bundle as any host would and runs,
// lists and checks what the bundle offers.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <new>

#include <nlohmann/json.hpp>

#include "host/cli/DefaultPaths.h"
#include "host/cli/DemoCommand.h"
#include "host/cli/DrawCommand.h"
#include "host/cli/EditCommand.h"
#include "host/cli/InterruptCleanup.h"
#include "host/cli/ListCommand.h"
#include "host/cli/PlayCommand.h"
#include "host/cli/Messages.h"
#include "host/cli/ShapeCommand.h"
#include "host/cli/RenderCommand.h"
#include "host/cli/UsageHelp.h"
#include "host/JsonErrorText.h"
#include "host/cli/StreamPaths.h"

namespace {

// -q and -v on every subcommand, at any depth, so that they may follow the subcommand's name.
void addVerbosityFlags(CLI::App& command) {
    auto* quiet = command.add_flag_callback("-q,--quiet", [] { zr::cli::setVerbosity(zr::cli::Verbosity::Quiet); },
                                            "print nothing but errors");
    auto* verbose = command.add_flag_callback("-v,--verbose", [] { zr::cli::setVerbosity(zr::cli::Verbosity::Verbose); },
                                              "also say what is loaded and written, and how");
    quiet->excludes(verbose);
    for (CLI::App* subcommand : command.get_subcommands({}))
        addVerbosityFlags(*subcommand);
}

} // namespace

int main(int argc, char** argv) {
    zr::cli::installInterruptCleanup();
    CLI::App app{"zrhost: loads the zr-shapes bundle and runs its modules"};
    app.require_subcommand(1);

    zr::cli::DefaultPaths const defaults = zr::cli::defaultPaths();
    zr::cli::BundleFiles files = defaults.files;
    app.add_option("--bundle", files.bundle, "bundle to load")->capture_default_str();
    app.add_option("--descriptions", files.descriptions, "module descriptions beside the bundle")->capture_default_str();

    std::filesystem::path outputDirectory = "out";
    std::filesystem::path demoPatch = defaults.examples / "shape-demo.json";
    auto* demo = app.add_subcommand("demo", "render the demo patch to a WAV file, its waveform and a picture of its shape");
    demo->add_option("-o,--output", outputDirectory, "folder for the results")->capture_default_str();
    demo->add_option("--patch", demoPatch, "the demo patch")->capture_default_str();

    zr::cli::ListRequest listRequest;
    auto* list = app.add_subcommand("list", "list every module with its pins, or one module in full, confirmed through the factory");
    auto* listModule = list->add_option("module", listRequest.module, "a module identifier: every field of every pin of that module");
    bool listJson = false;
    bool listMarkdown = false;
    auto* listJsonFlag = list->add_flag("--json", listJson, "print the list as JSON");
    auto* listMarkdownFlag = list->add_flag("--markdown", listMarkdown, "print the modules page of all modules (docs/modules.md)");
    listJsonFlag->excludes(listMarkdownFlag);
    listMarkdownFlag->excludes(listModule);

    zr::cli::RenderRequest renderRequest;
    std::filesystem::path plotPath;
    auto* render = app.add_subcommand("render", "run a patch file offline into an audio file (see docs/patch-format.md)");
    render->add_option("patch", renderRequest.patch, "the patch, a JSON file, or - to read it from standard input")->required();
    render->add_option("-o,--output", renderRequest.output,
                       "audio file to write: .wav, .flac, .aif or .aiff, or - for a WAV on standard output")->required();
    auto* plotOption = render->add_option("--plot", plotPath, "also draw the output waveform(s) into this .png, .svg or .pdf file");
    render->add_option("--format", renderRequest.format, "wav, flac or aiff, whatever the output's extension")
        ->transform(CLI::IsMember({"wav", "flac", "aiff"}, CLI::ignore_case));
    render->add_option("--bits", renderRequest.bits, "sample depth: 16 or 24 (integers) or 32f (32-bit float; not FLAC)")
        ->check(CLI::IsMember({"16", "24", "32f"}))
        ->capture_default_str();
    auto* gainOption = render->add_option("--gain", renderRequest.gainDecibels, "change the level by DB decibels, e.g. --gain -6")
        ->type_name("DB");
    std::string normalizeLevel;
    auto* normalizeOption =
        render->add_flag("--normalize{-0.1}", normalizeLevel,
                         "scale to a peak of -0.1 dBFS, or --normalize=DB; renders twice: first into a temporary "
                         "32-bit float file beside the output, then scales it while writing")
            ->check(CLI::Number);
    normalizeOption->excludes(gainOption);
    // Overrides of the patch, checked as the patch's own values are (docs/patch-format.md).
    render->add_option("-r,--rate", renderRequest.overrides.sampleRate, "sample rate in Hz instead of the patch's sampleRate");
    render->add_option("--duration", renderRequest.overrides.duration, "seconds to render instead of the patch's duration");
    render->add_option("--set", renderRequest.overrides.settings,
                       "MODULE.PIN=VALUE: a pin value after the patch's own (JSON, or a bare text); repeatable")
        ->allow_extra_args(false);

    zr::cli::PlayRequest playRequest;
    bool noConnect = false;
    std::string serverName;
    auto* play = app.add_subcommand("play", "run a patch live as a JACK client until --duration has played or Ctrl-C "
                                            "(see README: Play a patch live)");
    play->add_option("patch", playRequest.patch, "the patch, a JSON file")->required()->check(CLI::ExistingFile);
    play->add_option("--duration", playRequest.duration, "stop after this many seconds of the server's clock");
    auto* noConnectFlag = play->add_flag("--no-connect", noConnect, "leave the output ports unconnected");
    auto* connectOption = play->add_option("--connect", playRequest.connectTo,
                                           "JACK ports for the outputs, in order (the last takes the rest); "
                                           "default: the system playback ports")
                              ->expected(1, -1);
    noConnectFlag->excludes(connectOption);
    play->add_option("--server", serverName, "the JACK server's name (default: JACK_DEFAULT_SERVER, else 'default')");
    play->add_option("--client-name", playRequest.clientName, "the JACK client's name")->capture_default_str();
    play->add_option("--set", playRequest.settings,
                     "MODULE.PIN=VALUE: a pin value after the patch's own (JSON, or a bare text); repeatable")
        ->allow_extra_args(false);

    bool showVersion = false;
    app.add_flag("--version", showVersion, "print zrhost's version and the bundle's framework information");

    zr::cli::DrawRequest drawRequest;
    std::string shapeText;
    std::string editorId = "ZR_ShapeEditor5";
    auto* draw = app.add_subcommand("draw", "draw a shape editor into a PNG picture");
    auto* textOption = draw->add_option("--shape", shapeText, "the shape as text, e.g. \"(-5,-5)(0,3)(5,5)\"");
    auto* blobOption = draw->add_option("--blob", drawRequest.blobFile, "a file holding the shape's blob image, or - for standard input");
    auto* fileOption = draw->add_option("--shape-file", drawRequest.shapeFile, "a shape file (text form, then ITP=mode), or -");
    textOption->excludes(blobOption, fileOption);
    blobOption->excludes(fileOption);
    draw->add_option("--mode", drawRequest.mode, "interpolation: 0 none, 10 linear, 20 or 30 splines");
    draw->add_option("--width", drawRequest.width, "picture width in pixels")->capture_default_str();
    draw->add_option("--height", drawRequest.height, "picture height in pixels")->capture_default_str();
    draw->add_option("--pin", drawRequest.pinSettings, "any editor pin by name, NAME=VALUE (repeatable)");
    draw->add_option("--editor", editorId, "editor identifier")->capture_default_str();
    draw->add_option("-o,--output", drawRequest.output, "PNG file to write, or - for standard output")->capture_default_str();

    zr::cli::EditRequest editRequest;
    std::filesystem::path editFile;
    std::filesystem::path listenPatch;
    std::string listenRole = "shaper";
    auto* edit = app.add_subcommand("edit", "edit a shape with the mouse in a window (X11)");
    edit->footer(zr::cli::kEditKeys);
    auto* editFileOption = edit->add_option("file", editFile, "the shape file (.shp) to edit and save; made by the first save");
    edit->add_option("--scale", editRequest.scale, "enlarge the window and the editor's nodes and lines, e.g. 2 for a "
                                                   "high-density screen")->capture_default_str();
    edit->add_option("--width", editRequest.width, "window width in pixels before --scale")->capture_default_str();
    edit->add_option("--height", editRequest.height, "window height in pixels before --scale")->capture_default_str();
    auto* listenOption = edit->add_option("--listen", listenPatch, "hear the shape while editing, through PATCH.json or a "
                                                                   "built-in tone")->expected(0, 1)->type_name("[PATCH.json]");
    std::string listenPin;
    std::string listenServer;
    edit->add_option("--shape-pin", listenPin, "with --listen PATCH.json: the pin that takes the shape, MODULE.PIN");
    edit->add_option("--server", listenServer, "with --listen: the JACK server's name (default: JACK_DEFAULT_SERVER, "
                                               "else 'default')");
    edit->add_option("--as", listenRole, "how the shape is heard: shaper (transfer curve) or wave (oscillator's waveform)")
        ->check(CLI::IsMember({"shaper", "wave"}))
        ->capture_default_str();

    zr::cli::addShapeCommand(app);
    addVerbosityFlags(app);

    try {
        app.parse(argc, argv);
    } catch (CLI::ParseError const& error) {
        if (showVersion)
            return zr::cli::printVersion(files.bundle);
        if (zr::cli::explainUnknownSubcommand(app, argc, argv))
            return 1;
        return app.exit(error);
    }
    if (showVersion)
        return zr::cli::printVersion(files.bundle);
    try {
        // Where stdout carries a result (a listing, audio or a picture on "-"), messages go to stderr.
        if (list->parsed() || zr::cli::isStandardStream(renderRequest.output) || zr::cli::isStandardStream(plotPath) ||
            zr::cli::isStandardStream(drawRequest.output))
            zr::cli::keepStdoutForResults();
        if (!app.got_subcommand("shape"))
            zr::cli::detail("bundle %s, descriptions %s", files.bundle.c_str(), files.descriptions.c_str());
        if (demo->parsed())
            return zr::cli::runDemo(files, outputDirectory, demoPatch);
        if (list->parsed()) {
            using Format = zr::cli::ListRequest::Format;
            listRequest.format = listJson ? Format::json : listMarkdown ? Format::markdown : Format::text;
            return zr::cli::runList(files, listRequest);
        }
        if (render->parsed()) {
            if (plotOption->count() > 0)
                renderRequest.plot = plotPath;
            if (normalizeOption->count() > 0)
                renderRequest.normalizeDecibels = std::stod(normalizeLevel);
            return zr::cli::runRender(files, renderRequest);
        }
        if (play->parsed()) {
            playRequest.connect = !noConnect;
            if (!serverName.empty())
                playRequest.server = serverName;
            return zr::cli::runPlay(files, playRequest);
        }
        if (draw->parsed()) {
            if (textOption->count() > 0)
                drawRequest.shapeText = shapeText;
            drawRequest.editorId = std::wstring(editorId.begin(), editorId.end());
            return zr::cli::runDraw(files, drawRequest);
        }
        if (edit->parsed()) {
            if (editFileOption->count() > 0)
                editRequest.file = editFile;
            if (listenOption->count() > 0) {
                zr::cli::ListenRequest listen;
                if (!listenPatch.empty())
                    listen.patch = listenPatch;
                listen.role = listenRole == "wave" ? zr::cli::ListenRequest::Role::Wave : zr::cli::ListenRequest::Role::Shaper;
                listen.shapePin = listenPin;
                if (!listenServer.empty())
                    listen.serverName = listenServer;
                editRequest.listen = listen;
            }
            return zr::cli::runEdit(files, editRequest);
        }
    } catch (std::bad_alloc const&) {
        std::fprintf(stderr, "zrhost: out of memory; render a shorter --duration or fewer outputs\n");
        return 1;
    } catch (nlohmann::json::exception const& error) {
        std::fprintf(stderr, "zrhost: a JSON value has an unexpected form: %s\n", zr::host::jsonErrorReason(error.what()).c_str());
        return 1;
    } catch (std::exception const& error) {
        std::fprintf(stderr, "zrhost: %s\n", error.what());
        return 1;
    }
    return 0;
}
