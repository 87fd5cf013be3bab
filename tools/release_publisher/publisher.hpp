// Publishes a client folder as a signed release of the service:
//
//   <output>/client/current.pmx                 the signed release list of the new release
//   <output>/client/releases/<id>/<path>        every file of the release, under its list path
//
// Main.exe and Assets/assets.idx are signed into Main.exe.sig and Assets/assets.idx.sig, and the
// asset index's header is stamped with the new release id. Earlier releases under
// client/releases stay, so clients that are still downloading one can finish.
#pragma once

#include "platform/result.hpp"
#include "release_signer.hpp"
#include "update/release_list.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace torvane::publisher {

struct PublishedRelease {
    std::string release_id;
    std::filesystem::path list_file; // <output>/client/current.pmx
    std::filesystem::path release_folder; // <output>/client/releases/<id>
    std::string list_bytes; // current.pmx exactly as written
    ReleaseList list;
};

// A file of the client folder as the scan found it.
struct ClientFile {
    std::string path; // relative, '/'-separated, as on disk
    std::uint64_t size = 0; // when scanned; the release lists the size of the bytes copied
};

// Lists the client folder's files in path order (the two signatures left out) and refuses anything
// a release cannot carry: links, other kinds of files, paths that are not release files, files
// above the entry size limit.
Result<std::vector<ClientFile>> scan_client(const std::filesystem::path& client_folder);

// Writes a new release (a fresh random id) from the client folder. The folder must hold every core
// file but the two signatures (which are made here and replaced when present), every user file and
// at least one asset blob "Assets/<64 hex>.pmk", and nothing else; Assets/assets.idx must begin
// with the 24-byte "PXIDX001" header. Nothing is written when the folder is refused; current.pmx
// is replaced only after the release's files are all in place.
Result<PublishedRelease> publish_release(const std::filesystem::path& client_folder, const ReleaseSigner& signer,
                                         const std::filesystem::path& output_folder);
// The same for files scanned earlier. Each entry's size and SHA-256 are those of the bytes copied
// into the release, so a file that changed since the scan is listed as it was published.
Result<PublishedRelease> publish_scanned(const std::filesystem::path& client_folder,
                                         const std::vector<ClientFile>& files, const ReleaseSigner& signer,
                                         const std::filesystem::path& output_folder);

// A list file as the service serves it: the text followed by its signature.
Result<std::string> sign_release_list(std::string_view text, const ReleaseSigner& signer);

} // namespace torvane::publisher
