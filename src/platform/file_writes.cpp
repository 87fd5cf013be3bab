// Whole-file writes, the same on every system over OutputFile, the folder listing and the process
// ids of process_ids.hpp.
#include "platform/file_handle.hpp"
#include "platform/files.hpp"
#include "platform/folder_listing.hpp"
#include "platform/output_file.hpp"
#include "platform/path_text.hpp"
#include "platform/process_ids.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace torvane::platform {

Status write_file(const fs::path& path, std::string_view bytes)
{
    OutputFile file = TRY(OutputFile::create(path, ExistingFile::Replace));
    TRY(file.write(bytes));
    return file.close();
}

Status copy_to_new_file(const fs::path& from, const fs::path& to)
{
    FileHandle source = TRY(FileHandle::open_for_reading(from));
    OutputFile target = TRY(OutputFile::create(to, ExistingFile::Replace));
    auto copied = [&]() -> Status {
        std::array<std::uint8_t, 1 << 16> buffer {};
        for (;;) {
            std::size_t got = TRY(source.read(buffer));
            if (got == 0)
                break;
            TRY(target.write(std::string_view(reinterpret_cast<const char*>(buffer.data()), got)));
        }
        TRY(target.copy_permissions_from(from));
        return target.sync_and_close();
    }();
    if (!copied)
        (void)remove_file(to);
    return copied;
}

namespace {

// Temporaries of whole-file writes are named "<file name>.tmp-<process id>-<counter>".
constexpr std::string_view temporary_marker = ".tmp-";
// Names tried when something is already at a temporary's name.
constexpr int temporary_attempts = 100;

bool all_digits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process that made the temporary, when the entry is one of the temporaries of the file whose
// name has the key file_key: that name (compared as the file system compares names), the marker,
// a process id of at most nine digits, "-" and the counter's digits.
std::optional<std::uint32_t> temporary_owner(const fs::path& entry, const fs::path& file_name, const std::string& file_key)
{
    const auto& entry_text = entry.native();
    const std::size_t name_length = file_name.native().size();
    if (entry_text.size() <= name_length)
        return std::nullopt;
    // The cheap marker test first: most entries of the folder are not temporaries at all.
    const std::string after_name = path_utf8(entry_text.substr(name_length));
    std::string_view rest = after_name;
    if (!rest.starts_with(temporary_marker) || file_name_key(entry_text.substr(0, name_length)) != file_key)
        return std::nullopt;
    rest.remove_prefix(temporary_marker.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash > 9 || !all_digits(rest.substr(0, dash)) || !all_digits(rest.substr(dash + 1)))
        return std::nullopt;
    std::uint32_t id = 0;
    for (char c : rest.substr(0, dash))
        id = id * 10 + static_cast<std::uint32_t>(c - '0');
    return id;
}

// Removes the temporaries that earlier writes of the file left behind when their process ended
// before the rename (a crash, a power cut). Those of running processes, this one included, may
// still be in use and stay; so does a folder under such a name. A link is removed itself, never
// its target.
void sweep_stale_temporaries(const fs::path& path)
{
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    auto entries = list_folder(folder);
    if (!entries)
        return;
    const fs::path file_name = path.filename();
    const std::string file_key = file_name_key(file_name);
    const std::uint32_t own = current_process_id();
    for (const FolderEntry& entry : *entries) {
        std::optional<std::uint32_t> owner = temporary_owner(entry.name, file_name, file_key);
        if (!owner || *owner == own || process_running(*owner))
            continue;
        if (entry.kind != FileKind::Directory)
            (void)remove_file(folder / entry.name);
    }
}

} // namespace

Status write_file_atomic(const fs::path& path, std::string_view bytes)
{
    // The process id keeps other processes apart, the counter this process's own threads.
    static std::atomic<unsigned> next_temporary = 0;
    const std::string prefix = std::string(temporary_marker) + std::to_string(current_process_id()) + "-";
    // The temporary is always a new file: whatever is already at its name (a file left by a
    // crash, a hard link or symbolic link planted there) is never written through. A taken name
    // moves on to the next; the last one tried fails with the system's own text.
    fs::path temporary;
    std::optional<OutputFile> file;
    for (int attempt = 1; !file; ++attempt) {
        temporary = path;
        temporary += prefix + std::to_string(next_temporary++);
        if (attempt == temporary_attempts)
            file = TRY(OutputFile::create(temporary, ExistingFile::Refuse));
        else
            file = TRY(OutputFile::create_new(temporary));
    }
    Status written = file->write(bytes);
    if (written)
        written = file->sync_and_close();
    file.reset(); // closed without flushing when the write failed
    if (!written) {
        (void)remove_file(temporary);
        return written;
    }
    if (Status renamed = replace_rename(temporary, path); !renamed) {
        (void)remove_file(temporary);
        return renamed;
    }
    sweep_stale_temporaries(path);
    return {};
}

} // namespace torvane::platform
