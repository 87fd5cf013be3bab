#include "app/manifest_generator.hpp"

#include "app/modes.hpp"
#include "core/util.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/final_path.hpp"
#include "platform/folder_walk.hpp"
#include "platform/message_box.hpp"
#include "platform/path_text.hpp"
#include "platform/unicode.hpp"
#include "update/sha256.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

namespace torvane {

namespace {

constexpr std::string_view excluded_prefixes[] = {
    "data\\launcher\\", "screenshots\\", "crash\\", "data\\cache\\", "logs\\", "log\\",
};
constexpr std::string_view excluded_names[] = {
    "ornhalderror.log", "unins000.exe", "unins000.dat", "main.old.exe", "manifest.json", "postprocess.log",
};
constexpr std::string_view excluded_suffixes[] = {".part", ".old", ".log", ".dmp"};
constexpr std::string_view user_edited_files[] = {
    "data\\macro.txt", "data\\resolutions.xml", "Data\\Custom\\config.ini", "Data\\CameraSession.ini",
};

bool starts_with_ignoring_ascii_case(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && platform::equal_ignoring_ascii_case(text.substr(0, prefix.size()), prefix);
}

bool ends_with_ignoring_ascii_case(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size()
           && platform::equal_ignoring_ascii_case(text.substr(text.size() - suffix.size()), suffix);
}

// One found file: its path below the folder as the manifest writes it with '\' separators, the
// same with '/' separators as the system gives the names, its full path (on Windows with the
// final path's "\\?\" prefix), the same without that prefix for messages, and its sort key.
struct GeneratorFile {
    std::string relative_path;
    std::string native_relative_path;
    fs::path full_path;
    fs::path shown_path;
    std::string sort_key;
};

// Days since 1970-01-01 as a proleptic Gregorian date.
struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};
CivilDate civil_from_days(std::int64_t days)
{
    days += 719468;
    std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    auto day_of_era = static_cast<unsigned>(days - era * 146097);
    unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    unsigned shifted_month = (5 * day_of_year + 2) / 153;
    unsigned day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    return {static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

Result<std::vector<GeneratorFile>> find_files(const fs::path& folder)
{
    const fs::path root = TRY(platform::final_path(folder));
    std::vector<fs::path> found;
    collect_files_recursive(root, found);

    // Every walked path is the root and names below it; shown, the root is without its prefix.
    const fs::path::string_type root_text = platform::without_extended_prefix(root).native();
    std::vector<GeneratorFile> files;
    files.reserve(found.size());
    for (fs::path& path : found) {
        fs::path::string_type below = path.native().substr(root.native().size());
        below.erase(0, below.find_first_not_of(fs::path::preferred_separator));
        std::string native = platform::generic_path_utf8(fs::path(below));
        std::string relative = native;
        std::replace(relative.begin(), relative.end(), '/', '\\');
        std::string sort_key = lowercase_text(relative);
        fs::path shown = fs::path(root_text) / below;
        files.push_back({std::move(relative), std::move(native), std::move(path), std::move(shown), std::move(sort_key)});
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const GeneratorFile& a, const GeneratorFile& b) { return a.sort_key < b.sort_key; });
    return files;
}

void show_result(std::string_view text, platform::MessageIcon icon)
{
    platform::show_message_box("Torvane", text, icon);
}

} // namespace

void collect_files_recursive(const fs::path& folder, std::vector<fs::path>& list)
{
    platform::walk_folder(folder, [&](const platform::WalkEntry& walked) {
        switch (walked.entry.kind) {
        case platform::FileKind::Directory:
            return platform::Descend::Yes;
        case platform::FileKind::SymbolicLink: {
            // Listed, never entered: a link to a file is read through; a link to a folder is
            // refused by name when the manifest is built instead of leaving its files out
            // without a word. One that leads to a pipe or a device stays out like those.
            auto target = platform::file_info(walked.path, platform::FollowLinks::Yes);
            if (!target || target->kind != platform::FileKind::Other)
                list.push_back(walked.path);
            return platform::Descend::No;
        }
        case platform::FileKind::Other:
            // Pipes, sockets and devices are no game files (and reading a pipe would never end).
            return platform::Descend::No;
        default:
            list.push_back(walked.path);
            return platform::Descend::No;
        }
    });
}

std::string manifest_version_text(std::int64_t system_ticks)
{
    std::int64_t seconds = std::max<std::int64_t>(system_ticks - platform::unix_epoch_ticks, 0) / 10'000'000;
    CivilDate date = civil_from_days(seconds / 86400);
    auto minute_of_day = static_cast<unsigned>(seconds % 86400 / 60);
    std::array<char, 32> text {};
    std::snprintf(text.data(), text.size(), "%04lld%02u%02u%02u%02u", static_cast<long long>(date.year), date.month,
                  date.day, minute_of_day / 60, minute_of_day % 60);
    return text.data();
}

bool excluded_from_manifest(std::string_view relative_path)
{
    std::string_view name = relative_path.substr(relative_path.rfind('\\') + 1);
    return std::ranges::any_of(excluded_prefixes,
                               [&](std::string_view prefix) { return starts_with_ignoring_ascii_case(relative_path, prefix); })
           || std::ranges::any_of(excluded_names,
                                  [&](std::string_view excluded) { return platform::equal_ignoring_ascii_case(name, excluded); })
           || std::ranges::any_of(excluded_suffixes,
                                  [&](std::string_view suffix) { return ends_with_ignoring_ascii_case(relative_path, suffix); });
}

bool installed_only_if_missing(std::string_view relative_path)
{
    return std::ranges::any_of(user_edited_files,
                               [&](std::string_view file) { return platform::equal_ignoring_ascii_case(relative_path, file); });
}

Result<UpdateManifest> build_folder_manifest(const fs::path& folder, std::int64_t system_ticks,
                                             const fs::path& left_out)
{
    std::vector<GeneratorFile> files = TRY(find_files(folder));
    UpdateManifest manifest {.version = manifest_version_text(system_ticks), .files = std::vector<ManifestFile> {}};
    for (const GeneratorFile& file : files) {
        if (excluded_from_manifest(file.relative_path))
            continue;
        // A previous run's output inside the folder would be listed with its old digest, which the
        // file the clients then fetch (the new output) never matches.
        if (!left_out.empty() && platform::same_file(file.full_path, left_out))
            continue;
        // A '\' inside a name would read as a folder separator wherever the manifest is followed.
        if (file.native_relative_path.find('\\') != std::string::npos)
            return failure("nome de arquivo com barra invertida: " + platform::path_utf8(file.shown_path));
        auto info = platform::file_info(file.full_path, platform::FollowLinks::Yes);
        if (info && info->kind == platform::FileKind::Directory)
            return failure("link para pasta não pode entrar no manifesto: " + platform::path_utf8(file.shown_path));
        std::string path = file.relative_path;
        std::replace(path.begin(), path.end(), '\\', '/');
        manifest.files->push_back({
            .path = std::move(path),
            .size = info ? static_cast<std::int64_t>(info->size) : 0,
            .sha256 = TRY(sha256_file(file.full_path)),
            .only_if_missing = installed_only_if_missing(file.relative_path),
        });
    }
    return manifest;
}

int generate_manifest(const fs::path& folder, const fs::path& output, bool show)
{
    Status written = [&]() -> Status {
        UpdateManifest manifest = TRY(build_folder_manifest(folder, platform::system_time_ticks(), output));
        std::string text = format_update_manifest(manifest);
        TRY(platform::write_file(output, text));
        if (show)
            show_result(std::to_string(manifest.files->size()) + " arquivos no manifesto:\n"
                            + platform::path_utf8(output),
                        platform::MessageIcon::Information);
        return {};
    }();
    if (written)
        return 0;
    if (show)
        show_result("Erro ao gerar o manifesto:\n" + written.error(), platform::MessageIcon::Error);
    return 1;
}

} // namespace torvane
