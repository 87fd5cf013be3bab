#include "core/update_manifest.hpp"

#include "core/json_reader.hpp"
#include "core/json_writer.hpp"

namespace torvane {

namespace {

constexpr std::string_view manifest_keys[] = {"Version", "Files"};
constexpr std::string_view file_keys[] = {"Path", "Size", "Sha256", "OnlyIfMissing"};

} // namespace

Status read_value(JsonReader& reader, ManifestFile& file)
{
    return read_record_fields(reader, "struct ManifestFile", file_keys, file.path, file.size, file.sha256,
                              file.only_if_missing);
}

Status read_value(JsonReader& reader, UpdateManifest& manifest)
{
    return read_record_fields(reader, "struct UpdateManifest", manifest_keys, manifest.version, manifest.files);
}

void write_value(JsonPrettyWriter& writer, const ManifestFile& file)
{
    write_record_fields(writer, file_keys, file.path, file.size, file.sha256, file.only_if_missing);
}

Result<UpdateManifest> parse_update_manifest(std::string_view bytes)
{
    return read_json_document<UpdateManifest>(bytes);
}

std::string format_update_manifest(const UpdateManifest& manifest)
{
    JsonPrettyWriter writer;
    write_record_fields(writer, manifest_keys, manifest.version, manifest.files);
    return writer.take();
}

} // namespace torvane
