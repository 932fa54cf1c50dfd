// Writes the Turtle of the LV2 bundle and the control-range header the plug-ins compile, from
// the plug-in table (lv2/PluginCatalog.h) and the module descriptions zrhost reads: one source
// for every name, range, default, unit and enumeration label. Presets come from the shape
// files given.
//
//   zr_lv2_generate DESCRIPTIONS.json BUNDLE_DIR HEADER.h BINARY_NAME SHAPE_FILE...
//
// Exits 1 with a message naming what does not fit (an unknown module or pin, a pin that is
// not a control input, a refused shape file).

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/ModuleDescriptions.h"
#include "host/TextConversion.h"
#include "lv2/PluginCatalog.h"
#include "lv2/generator/ResolvedControl.h"
#include "shapes/Shape.h"

namespace {

using zr::lv2::PluginDefinition;
using zr::lv2::ResolvedControl;

std::string pluginUri(PluginDefinition const& plugin) { return std::string(zr::lv2::kUriBase) + plugin.uriSuffix; }
std::string shapeUri(char const* key) { return std::string(zr::lv2::kUriBase) + key; }
std::string fileUri(char const* key) { return shapeUri(key) + "File"; }
std::string uiUri(PluginDefinition const& plugin) { return pluginUri(plugin) + "#ui"; }
constexpr char const* kUiBinary = "zr-shapes-ui.so";

std::string quoted(std::string const& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string number(double value) { return zr::host::numberText(value); }

char const* const kPrefixes = R"(@prefix atom: <http://lv2plug.in/ns/ext/atom#> .
@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix log: <http://lv2plug.in/ns/ext/log#> .
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix midi: <http://lv2plug.in/ns/ext/midi#> .
@prefix opts: <http://lv2plug.in/ns/ext/options#> .
@prefix patch: <http://lv2plug.in/ns/ext/patch#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
@prefix time: <http://lv2plug.in/ns/ext/time#> .
@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .
@prefix units: <http://lv2plug.in/ns/extensions/units#> .
@prefix urid: <http://lv2plug.in/ns/ext/urid#> .
@prefix work: <http://lv2plug.in/ns/ext/worker#> .

)";

std::string unitTerm(std::string const& unit) {
    if (unit == "V")
        return std::string("<") + zr::lv2::kUriBase + "volt>";
    if (unit == "ms" || unit == "beat" || unit == "coef" || unit == "hz")
        return "units:" + unit;
    return {};
}

void writeAtomPorts(std::ostream& out, PluginDefinition const& plugin) {
    out << "\tlv2:port [\n\t\ta lv2:InputPort , atom:AtomPort ;\n\t\tatom:bufferType atom:Sequence ;\n"
        << "\t\tatom:supports patch:Message";
    if (plugin.takesMidi)
        out << " , midi:MidiEvent";
    if (plugin.takesTime)
        out << " , time:Position";
    out << " ;\n\t\tlv2:designation lv2:control ;\n\t\tlv2:portProperty lv2:connectionOptional ;\n\t\tlv2:index "
        << zr::lv2::kControlPort
        << " ;\n\t\tlv2:symbol \"control\" ;\n\t\tlv2:name \"Control\"\n\t] , [\n"
        << "\t\ta lv2:OutputPort , atom:AtomPort ;\n\t\tatom:bufferType atom:Sequence ;\n\t\tatom:supports patch:Message ;\n"
        << "\t\tlv2:designation lv2:control ;\n\t\tlv2:portProperty lv2:connectionOptional ;\n\t\tlv2:index "
        << zr::lv2::kNotifyPort
        << " ;\n\t\tlv2:symbol \"notify\" ;\n\t\tlv2:name \"Notify\"\n\t]";
}

void writeAudioPorts(std::ostream& out, PluginDefinition const& plugin) {
    uint32_t index = zr::lv2::kFirstAudioPort;
    auto write = [&](char const* symbol, char const* direction) {
        out << " , [\n\t\ta lv2:" << direction << " , lv2:AudioPort ;\n\t\tlv2:index " << index++ << " ;\n\t\tlv2:symbol \""
            << symbol << "\" ;\n\t\tlv2:name " << quoted(symbol) << "\n\t]";
    };
    for (char const* symbol : plugin.audioInputs)
        write(symbol, "InputPort");
    for (char const* symbol : plugin.audioOutputs)
        write(symbol, "OutputPort");
}

void writeControlPort(std::ostream& out, ResolvedControl const& control, uint32_t index) {
    out << " , [\n\t\ta lv2:InputPort , lv2:ControlPort ;\n\t\tlv2:index " << index << " ;\n\t\tlv2:symbol \""
        << control.symbol << "\" ;\n\t\tlv2:name " << quoted(control.name) << " ;\n\t\tlv2:default "
        << number(control.defaultValue) << " ;\n\t\tlv2:minimum " << number(control.min) << " ;\n\t\tlv2:maximum "
        << number(control.max);
    std::vector<std::string> properties;
    if (control.toggle)
        properties.push_back("lv2:toggled");
    else if (control.integer)
        properties.push_back("lv2:integer");
    if (control.enumeration)
        properties.push_back("lv2:enumeration");
    for (size_t i = 0; i < properties.size(); ++i)
        out << (i == 0 ? " ;\n\t\tlv2:portProperty " : " , ") << properties[i];
    if (std::string const unit = unitTerm(control.unit); !unit.empty())
        out << " ;\n\t\tunits:unit " << unit;
    for (size_t i = 0; i < control.labels.size(); ++i)
        out << (i == 0 ? " ;\n\t\tlv2:scalePoint " : " , ") << "[ rdfs:label " << quoted(control.labels[i].second)
            << " ; rdf:value " << control.labels[i].first << " ]";
    if (!control.comment.empty())
        out << " ;\n\t\trdfs:comment " << quoted(control.comment);
    out << "\n\t]";
}

void writeParameters(std::ostream& out) {
    out << "<" << zr::lv2::kUriBase << "volt>\n\ta units:Unit ;\n\trdfs:label \"volt\" ;\n\tunits:symbol \"V\" ;\n"
        << "\tunits:render \"%f V\" .\n\n";
    std::vector<std::string> written;
    for (PluginDefinition const& plugin : zr::lv2::kPlugins)
        for (zr::lv2::ShapeDefinition const& shape : plugin.shapes) {
            if (std::find(written.begin(), written.end(), shape.key) != written.end())
                continue;
            written.push_back(shape.key);
            out << "<" << shapeUri(shape.key) << ">\n\ta lv2:Parameter ;\n\trdfs:label " << quoted(shape.label)
                << " ;\n\trdfs:comment \"The shape as its text, nodes (x,y) in volts from x -5 to x 5: (-5,-5)(0,5)(5,-5).\" ;\n"
                << "\trdfs:range atom:String .\n\n";
            out << "<" << fileUri(shape.key) << ">\n\ta lv2:Parameter ;\n\trdfs:label " << quoted(std::string(shape.label) + " file")
                << " ;\n\trdfs:comment \"A shape file to load: the text form, then a line ITP=mode.\" ;\n"
                << "\trdfs:range atom:Path .\n\n";
        }
}

void writePlugin(std::ostream& out, PluginDefinition const& plugin, std::vector<ResolvedControl> const& controls) {
    out << "<" << pluginUri(plugin) << ">\n\ta lv2:Plugin , lv2:" << plugin.lv2Class << " ;\n\tdoap:name "
        << quoted(plugin.name) << " ;\n\trdfs:comment " << quoted(plugin.comment) << " ;\n"
        << "\tlv2:optionalFeature lv2:hardRTCapable , urid:map , work:schedule , log:log ;\n"
        << "\tlv2:extensionData state:interface , work:interface ;\n"
        << "\tui:ui <" << uiUri(plugin) << "> ;\n";
    for (char const* access : {"writable", "readable"}) {
        out << "\tpatch:" << access << " ";
        for (size_t i = 0; i < plugin.shapes.size(); ++i) {
            out << (i == 0 ? "" : " , ") << "<" << shapeUri(plugin.shapes[i].key) << ">";
            if (std::string(access) == "writable")
                out << " , <" << fileUri(plugin.shapes[i].key) << ">";
        }
        out << " ;\n";
    }
    writeAtomPorts(out, plugin);
    writeAudioPorts(out, plugin);
    for (size_t i = 0; i < controls.size(); ++i)
        writeControlPort(out, controls[i], zr::lv2::controlPortIndex(plugin, static_cast<uint32_t>(i)));
    out << " .\n\n";
}

// The interface (lv2/ui/): the shape editor in an X11 window, talking to the plug-in through
// patch messages on its control and notify ports and following its interpolation controls.
void writeInterface(std::ostream& out, PluginDefinition const& plugin) {
    out << "<" << uiUri(plugin) << ">\n\ta ui:X11UI ;\n\tlv2:requiredFeature urid:map ;\n"
        << "\tlv2:optionalFeature ui:parent , ui:idleInterface , ui:resize ;\n\tlv2:extensionData ui:idleInterface ;\n"
        << "\tui:portNotification [\n\t\tui:plugin <" << pluginUri(plugin) << "> ;\n\t\tlv2:symbol \"notify\" ;\n"
        << "\t\tui:protocol atom:eventTransfer\n\t]";
    for (zr::lv2::ControlDefinition const& control : plugin.controls)
        if (control.pinName && std::string(control.pinName) == "Interpolation")
            out << " , [\n\t\tui:plugin <" << pluginUri(plugin) << "> ;\n\t\tlv2:symbol \"" << control.symbol
                << "\" ;\n\t\tui:protocol ui:floatProtocol\n\t]";
    out << " .\n\n";
}

struct Preset {
    std::string name;
    std::string text;
    int32_t interpolation;
};

Preset readPreset(std::filesystem::path const& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    zr::Shape shape;
    shape.readShpContent(content.str());
    if (!file || shape.invalid)
        throw std::runtime_error("not a shape file: " + path.string());
    return {path.stem().string(), zr::host::utf8FromWide(shape.getString()), shape.interpolation};
}

std::string presetUri(PluginDefinition const& plugin, Preset const& preset) {
    return pluginUri(plugin) + ":preset:" + preset.name;
}

void writePresets(std::ostream& manifest, std::ostream& presets, std::vector<Preset> const& shapes) {
    presets << kPrefixes;
    for (PluginDefinition const& plugin : zr::lv2::kPlugins)
        for (Preset const& preset : shapes) {
            std::string const uri = presetUri(plugin, preset);
            manifest << "<" << uri << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << pluginUri(plugin)
                     << "> ;\n\trdfs:seeAlso <presets.ttl> .\n\n";
            presets << "<" << uri << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << pluginUri(plugin) << "> ;\n\trdfs:label "
                    << quoted(preset.name) << " ;\n\tlv2:port [\n\t\tlv2:symbol \"" << plugin.controls[0].symbol
                    << "\" ;\n\t\tpset:value " << preset.interpolation << ".0\n\t] ;\n\tstate:state [\n\t\t<"
                    << shapeUri(plugin.shapes[0].key) << "> " << quoted(preset.text) << "\n\t] .\n\n";
        }
}

void writeHeader(std::ostream& out, std::vector<std::vector<ResolvedControl>> const& controls) {
    out << "#pragma once\n// Generated by lv2/generator from the module descriptions; every build writes it anew.\n\n"
        << "#include \"lv2/ControlRange.h\"\n\nnamespace zr::lv2::generated {\n\n";
    for (size_t p = 0; p < controls.size(); ++p) {
        out << "inline constexpr ControlRange kPlugin" << p << "[] = {\n";
        for (ResolvedControl const& control : controls[p])
            out << "    {" << number(control.min) << ", " << number(control.max) << ", " << number(control.defaultValue)
                << ", " << (control.integer || control.toggle ? "true" : "false") << "}, // " << control.symbol << "\n";
        out << "};\n\n";
    }
    out << "inline constexpr std::span<ControlRange const> kControlRanges[] = {";
    for (size_t p = 0; p < controls.size(); ++p)
        out << (p == 0 ? "" : ", ") << "kPlugin" << p;
    out << "};\n\n} // namespace zr::lv2::generated\n";
}

void writeFile(std::filesystem::path const& path, std::string const& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

int generate(int argc, char** argv) {
    if (argc < 5) {
        std::cerr << "usage: zr_lv2_generate DESCRIPTIONS.json BUNDLE_DIR HEADER.h BINARY_NAME SHAPE_FILE...\n";
        return 2;
    }
    auto const descriptions = zr::host::ModuleDescriptions::load(argv[1]);
    std::filesystem::path const bundle = argv[2];
    std::filesystem::create_directories(bundle);

    std::vector<std::vector<ResolvedControl>> controls;
    for (PluginDefinition const& plugin : zr::lv2::kPlugins)
        controls.push_back(zr::lv2::resolveControls(plugin, descriptions));
    std::vector<Preset> presets;
    for (int i = 5; i < argc; ++i)
        presets.push_back(readPreset(argv[i]));
    std::sort(presets.begin(), presets.end(), [](Preset const& a, Preset const& b) { return a.name < b.name; });

    std::ostringstream manifest, plugins, presetText, header;
    manifest << kPrefixes;
    plugins << kPrefixes;
    writeParameters(plugins);
    for (size_t p = 0; p < std::size(zr::lv2::kPlugins); ++p) {
        PluginDefinition const& plugin = zr::lv2::kPlugins[p];
        manifest << "<" << pluginUri(plugin) << ">\n\ta lv2:Plugin ;\n\tlv2:binary <" << argv[4]
                 << "> ;\n\trdfs:seeAlso <zr-shapes.ttl> .\n\n";
        manifest << "<" << uiUri(plugin) << ">\n\ta ui:X11UI ;\n\tui:binary <" << kUiBinary
                 << "> ;\n\trdfs:seeAlso <zr-shapes.ttl> .\n\n";
        writePlugin(plugins, plugin, controls[p]);
        writeInterface(plugins, plugin);
    }
    writePresets(manifest, presetText, presets);
    writeHeader(header, controls);

    writeFile(bundle / "manifest.ttl", manifest.str());
    writeFile(bundle / "zr-shapes.ttl", plugins.str());
    writeFile(bundle / "presets.ttl", presetText.str());
    writeFile(argv[3], header.str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return generate(argc, argv);
    } catch (std::exception const& failure) {
        std::cerr << "zr_lv2_generate: " << failure.what() << "\n";
        return 1;
    }
}
