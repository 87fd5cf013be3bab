// Starting other programs: the game client, the browser for a link, and the launcher itself after
// it has replaced its executable. Every program is started detached in a session of its own, never
// through a shell, and reaped so that no zombie is left.
#pragma once

#include "platform/file_handle.hpp"
#include "platform/result.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace torvane::platform {

namespace fs = std::filesystem;

// Which file a launch runs.
enum class RunFrom {
    ProgramPath,         // the file found at the program's path (or on PATH)
    InheritedDescriptor, // the file the inherited descriptor reads, whatever its path holds now
};

struct ProgramLaunch {
    fs::path program;               // a path, or a bare name looked up on PATH
    std::vector<std::string> arguments; // without the program itself
    std::optional<fs::path> working_folder;
    // A descriptor the program inherits under the same number (every other descriptor of the
    // launcher is close-on-exec); none: it inherits nothing but the standard streams.
    std::optional<int> inherited_descriptor;
    // With InheritedDescriptor the program is started from the file the inherited descriptor
    // reads (a file checked through that descriptor is the file that runs, even when another file
    // was renamed over its path since); program is then only the name the program is given.
    RunFrom run_from = RunFrom::ProgramPath;
};

// Starts the program and returns once it runs (or its start failed). Failures carry the system's
// text and " (os error N)": a program found nowhere, not executable or of no known format, a
// missing working folder, a descriptor that is not open (or missing when the launch runs from
// it). The environment is the launcher's; signal dispositions and the signal mask are reset to the
// defaults. A start the user declined (Windows: the elevation prompt refused) fails with
// cancelled_text, which the caller never shows.
Status start_detached(const ProgramLaunch& launch);

// How a client executable is started: a native program (ELF or "#!") directly, a Windows program
// ("MZ") through wine found on PATH.
enum class ExecutableKind { Native, Windows };
// By the file's first two bytes: "MZ" is Windows; everything else (ELF, "#!", and any other or
// too short content) is Native, so that the start itself fails with the system's text
// ("Exec format error (os error 8)"). Fails with the system's text when the file cannot be read.
Result<ExecutableKind> executable_kind(const fs::path& file);
// The same rule for the file an open handle reads, from its first bytes whatever its read position.
Result<ExecutableKind> executable_kind(const FileHandle& file);

// The path under which a program started with the descriptor inherited opens the very file the
// descriptor reads, not whatever was renamed over the file's name since (for a Windows program,
// which starts through wine with its path as an argument).
fs::path inherited_descriptor_path(int descriptor);

// Opens an http(s) address in the user's browser: xdg-open found on PATH with the address as its
// one argument. Fails with start_detached's text ("No such file or directory (os error 2)" when
// there is no xdg-open).
Status open_url(std::string_view url);

} // namespace torvane::platform
