// Entry points of the launcher's modes. Each returns the process exit code.
#pragma once

#include <filesystem>
#include <optional>

namespace torvane {

namespace fs = std::filesystem;

// Operator tool: writes the JSON file manifest of the game folder to output; 0 when written, 1 on
// any failure. show_result: report the outcome in a message box.
int generate_manifest(const fs::path& folder, const fs::path& output, bool show_result);

// Headless plain update of base_dir, logged to Data/Launcher/atualizacao_teste.log; 0 or 1.
int run_update_test(const fs::path& base_dir, bool test_flag);

// Headless self-update and client release install, logged to Data/Launcher/cliente_teste.log; 0 or 1.
int run_client_test(const fs::path& base_dir, bool test_flag);

// Renders the main screen's frames off screen and writes a timing report; always 0.
int run_bench(const fs::path& base_dir, const fs::path& report, float scale);

// Renders one picture of the main screen (with the settings dialog when settings is set) to a PNG
// file; data_file may supply links, news, information rows and the opening time. 0 when written.
int run_capture(const fs::path& base_dir, const fs::path& image, float scale, bool settings,
                const std::optional<fs::path>& data_file);

} // namespace torvane
