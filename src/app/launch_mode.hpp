// The command line's meaning: which mode runs and with which arguments. A pure function of the
// argument list (the program path not included), so every reading can be tested as a table.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace torvane {

namespace fs = std::filesystem;

namespace launch_mode {

// The launcher window ("--teste" anywhere sets the test flag).
struct Gui {
    bool test_flag = false;
    bool operator==(const Gui&) const = default;
};

// "--gerar-manifesto <folder> [<output>]".
struct GenerateManifest {
    fs::path folder;
    fs::path output;          // argument 2, else folder / "manifest.json"
    bool show_result = false; // exactly two arguments: show the result message box
    bool operator==(const GenerateManifest&) const = default;
};

// "--testar-atualizacao".
struct UpdateTest {
    bool test_flag = false;
    bool operator==(const UpdateTest&) const = default;
};

// "--baixar-cliente".
struct ClientTest {
    bool test_flag = false;
    bool operator==(const ClientTest&) const = default;
};

// "--bench <report> [--escala <scale>]".
struct Bench {
    fs::path report;
    float scale = 1.0f;
    // NaN is a valid reading of the scale; compare bitwise so tables can expect it.
    bool operator==(const Bench& other) const;
};

// "--captura <image> [cfg] [--escala <scale>] [--dados <file>]".
struct Capture {
    fs::path image;
    float scale = 1.0f;
    bool settings = false; // "cfg" from position 2 on: the settings dialog is drawn open
    std::optional<fs::path> data_file;
    bool operator==(const Capture& other) const;
};

} // namespace launch_mode

using LaunchMode = std::variant<launch_mode::Gui, launch_mode::GenerateManifest, launch_mode::UpdateTest,
                                launch_mode::ClientTest, launch_mode::Bench, launch_mode::Capture>;

// True when the argument equals the (lower-case) option with only ASCII letters case-folded;
// arguments are compared whole.
bool matches_option(std::string_view argument, std::string_view option);

// The mode the argument list selects. Only argument 0 selects a tool mode; a tool option without
// the argument it needs, and anything else, selects the GUI.
LaunchMode choose_mode(const std::vector<std::string>& arguments);

} // namespace torvane
