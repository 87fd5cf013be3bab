#include "publisher.hpp"

#include "platform/file_handle.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/random.hpp"
#include "platform/sha256.hpp"
#include "platform/unicode.hpp"
#include "update/asset_index.hpp"
#include "update/digest.hpp"
#include "update/path_safety.hpp"
#include "update/signatures.hpp"

#include <algorithm>
#include <set>
#include <vector>

namespace torvane::publisher {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view client_signature_name = "Main.exe.sig";
constexpr std::string_view index_signature_name = "Assets/assets.idx.sig";

bool is_signature_file(std::string_view path)
{
    return platform::equal_ignoring_ascii_case(path, client_signature_name) ||
           platform::equal_ignoring_ascii_case(path, index_signature_name);
}

std::string too_large_text(const std::string& path, std::uint64_t size)
{
    return "arquivo grande demais para uma versão: " + path + " (" + std::to_string(size) + " bytes; o limite é " +
           std::to_string(release_entry_max_size) + ")";
}

} // namespace

Result<std::vector<ClientFile>> scan_client(const fs::path& client_folder)
{
    std::error_code error;
    if (!fs::is_directory(client_folder, error))
        return failure("a pasta do cliente não existe: " + client_folder.string());
    std::vector<ClientFile> files;
    fs::recursive_directory_iterator it(client_folder, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string relative = it->path().lexically_relative(client_folder).generic_string();
        fs::file_status status = it->symlink_status(error);
        if (error)
            break;
        if (fs::is_symlink(status))
            return failure("o cliente contém um link simbólico, que uma versão não pode levar: " + relative);
        if (fs::is_directory(status))
            continue;
        if (!fs::is_regular_file(status))
            return failure("o cliente contém algo que não é um arquivo comum: " + relative);
        if (is_signature_file(relative))
            continue; // made anew from the key
        if (!is_core_release_file(relative) && !is_user_file(relative) && !is_asset_blob_name(relative))
            return failure("arquivo que não pode fazer parte de uma versão: " + relative +
                           " (só arquivos do cliente, arquivos do jogador e Assets/<sha256>.pmk)");
        std::uint64_t size = it->file_size(error);
        if (error)
            break;
        if (size > release_entry_max_size)
            return failure(too_large_text(relative, size));
        files.push_back({relative, size});
    }
    if (error)
        return failure("não foi possível ler a pasta do cliente: " + platform::error_code_text(error));
    std::sort(files.begin(), files.end(), [](const ClientFile& a, const ClientFile& b) { return a.path < b.path; });
    return files;
}

namespace {

Status check_complete(const std::vector<ClientFile>& files)
{
    std::set<std::string> lowered;
    for (const ClientFile& file : files) {
        if (!lowered.insert(ascii_lower(file.path)).second)
            return failure("o cliente tem dois arquivos que só diferem em maiúsculas: " + file.path);
    }
    std::string missing;
    auto require = [&](std::string_view name) {
        if (!is_signature_file(name) && !lowered.contains(ascii_lower(name)))
            missing += (missing.empty() ? "" : ", ") + std::string(name);
    };
    std::for_each(core_release_files.begin(), core_release_files.end(), require);
    std::for_each(user_files.begin(), user_files.end(), require);
    if (!missing.empty())
        return failure("faltam no cliente arquivos que toda versão precisa: " + missing);
    if (std::none_of(files.begin(), files.end(), [](const ClientFile& f) { return is_asset_blob_name(f.path); }))
        return failure("o cliente não tem nenhum arquivo de conteúdo (Assets/<sha256>.pmk).");
    if (files.size() + 2 > release_list_max_entries)
        return failure("o cliente tem arquivos demais: uma versão leva no máximo " +
                       std::to_string(release_list_max_entries) + ".");
    return {};
}

struct CopiedFile {
    std::uint64_t size = 0;
    Sha256Digest digest {};
};

// Copies a file while counting and hashing the bytes copied, which are what the list describes
// even when the file changed since the scan. With a release id, its first 24 bytes must be the
// asset index header, whose id is replaced.
Result<CopiedFile> copy_hashed(const fs::path& from, const fs::path& to, const std::string& path,
                               const ReleaseIdBytes* stamp_id)
{
    platform::FileHandle source = TRY(platform::FileHandle::open_for_reading(from));
    TRY(platform::create_folders(to.parent_path()));
    auto target = platform::OutputFile::create(to, platform::ExistingFile::Refuse);
    if (!target)
        return failure(to.string() + ": " + target.error());
    std::vector<std::uint8_t> buffer(hash_read_size);
    platform::Sha256 hasher;
    std::uint64_t size = 0;
    Status copied;
    for (bool first = true; copied;) {
        auto got = source.read_full(buffer);
        if (!got) {
            copied = failure(from.string() + ": " + got.error());
            break;
        }
        if (first && stamp_id) {
            if (*got < asset_index_header_size ||
                !std::equal(asset_index_magic.begin(), asset_index_magic.end(), buffer.begin()))
                copied = failure("Assets/assets.idx não começa com o cabeçalho \"PXIDX001\" de 24 bytes.");
            else
                std::copy(stamp_id->begin(), stamp_id->end(), buffer.begin() + asset_index_magic.size());
        }
        first = false;
        if (!copied || *got == 0)
            break;
        size += *got;
        if (size > release_entry_max_size) {
            copied = failure(too_large_text(path, size));
            break;
        }
        hasher.update(std::span(buffer.data(), *got));
        copied = target->write(std::string_view(reinterpret_cast<const char*>(buffer.data()), *got));
        if (*got < buffer.size())
            break;
    }
    if (copied)
        copied = target->sync_and_close();
    if (!copied)
        return std::unexpected(copied.error());
    return CopiedFile {size, hasher.finish()};
}

// Fills the staging folder with every file and the two signatures; yields the list's entries.
Result<std::vector<ReleaseEntry>> stage_release(const fs::path& client_folder, const std::vector<ClientFile>& files,
                                                const fs::path& staging, const ReleaseIdBytes& id,
                                                const ReleaseSigner& signer)
{
    std::vector<ReleaseEntry> entries;
    for (const ClientFile& file : files) {
        bool is_index = platform::equal_ignoring_ascii_case(file.path, "Assets/assets.idx");
        bool is_client = platform::equal_ignoring_ascii_case(file.path, "Main.exe");
        CopiedFile copied = TRY(copy_hashed(push_relative_path(client_folder, file.path),
                                            push_relative_path(staging, file.path), file.path, is_index ? &id : nullptr));
        entries.push_back({copied.size, file.path, hex_lower(copied.digest)});
        if (is_index || is_client) {
            std::string signature = TRY(signer.sign_digest(copied.digest));
            std::string signature_path = file.path + ".sig";
            TRY(platform::write_file(push_relative_path(staging, signature_path), signature));
            entries.push_back({signature.size(), signature_path, hex_lower(sha256_bytes(signature))});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const ReleaseEntry& a, const ReleaseEntry& b) { return a.path < b.path; });
    return entries;
}

// What a launcher will check, checked here with the key that signed it.
Status check_published(const std::string& list_bytes, const fs::path& staging, const ReleaseList& list,
                       const ReleaseSigner& signer)
{
    platform::RsaPublicKey key = TRY(signer.public_key());
    TRY(parse_release_list(list_bytes, key));
    TRY(verify_client_signature(staging / "Main.exe", key));
    ReleaseIdBytes id = TRY(read_asset_index_header(staging));
    if (hex_lower(id) != list.release_id)
        return failure("o índice não pertence à versão assinada.");
    return {};
}

} // namespace

Result<std::string> sign_release_list(std::string_view text, const ReleaseSigner& signer)
{
    std::string signature = TRY(signer.sign(text));
    return std::string(text) + signature;
}

Result<PublishedRelease> publish_release(const fs::path& client_folder, const ReleaseSigner& signer,
                                         const fs::path& output_folder)
{
    std::vector<ClientFile> files = TRY(scan_client(client_folder));
    return publish_scanned(client_folder, files, signer, output_folder);
}

Result<PublishedRelease> publish_scanned(const fs::path& client_folder, const std::vector<ClientFile>& files,
                                         const ReleaseSigner& signer, const fs::path& output_folder)
{
    TRY(check_complete(files));

    ReleaseIdBytes id {};
    TRY(platform::random_bytes(id));
    PublishedRelease published;
    published.release_id = hex_lower(id);
    const fs::path releases = output_folder / "client" / "releases";
    published.release_folder = releases / published.release_id;
    published.list_file = output_folder / "client" / "current.pmx";
    fs::path staging = releases / (published.release_id + ".partial");

    auto staged = [&]() -> Status {
        TRY(platform::create_folders(staging));
        published.list.release_id = published.release_id;
        published.list.entries = TRY(stage_release(client_folder, files, staging, id, signer));
        published.list_bytes = TRY(sign_release_list(release_list_text(published.list), signer));
        TRY(check_published(published.list_bytes, staging, published.list, signer));
        std::error_code error;
        fs::rename(staging, published.release_folder, error);
        if (error)
            return failure(published.release_folder.string() + ": " + platform::error_code_text(error));
        return platform::write_file_atomic(published.list_file, published.list_bytes);
    }();
    if (!staged) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        return std::unexpected(staged.error());
    }
    return published;
}

} // namespace torvane::publisher
