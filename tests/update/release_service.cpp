#include "release_service.hpp"

#include "release_signer.hpp"
#include "support/sample_client.hpp"
#include "update/digest.hpp"

#include <fstream>

namespace torvane::test {

ReleaseService::ReleaseService(NginxOptions options, TestCertificates certificates)
    : certificates_(std::move(certificates)), options_(std::move(options))
{
    options_.root = root_.path();
    options_.certificate_pem = certificate_dir_.write("server.pem", certificates_.server_certificate_pem);
    options_.private_key_pem = certificate_dir_.write("server.key", certificates_.server_key_pem);
    nginx_ = NginxServer::start(options_);
    if (nginx_)
        options_.port = nginx_->port(); // a restart comes back on the same address
}

std::string ReleaseService::origin() const { return "https://127.0.0.1:" + std::to_string(options_.port); }

std::vector<std::string> ReleaseService::requests_under(const std::string& prefix) const
{
    std::vector<std::string> found;
    if (!nginx_)
        return found;
    for (const std::string& line : nginx_->requests())
        if (line.find("\"GET " + prefix) != std::string::npos)
            found.push_back(line);
    return found;
}

std::multiset<std::string> ReleaseService::release_files_served(const std::string& release_id) const
{
    const std::string prefix = "/client/releases/" + release_id + "/";
    std::multiset<std::string> paths;
    for (const std::string& line : requests_under(prefix)) {
        auto start = line.find(prefix) + prefix.size();
        paths.insert(line.substr(start, line.find(' ', start) - start));
    }
    return paths;
}

Result<publisher::PublishedRelease> ReleaseService::publish(const std::filesystem::path& client_folder)
{
    auto signer = publisher::ReleaseSigner::load(dev_key_path());
    if (!signer)
        return failure(signer.error());
    return publisher::publish_release(client_folder, *signer, root());
}

void ReleaseService::restart(long rate_limit)
{
    stop();
    options_.rate_limit = rate_limit;
    nginx_ = NginxServer::start(options_);
}

void ReleaseService::stop()
{
    if (nginx_)
        nginx_->stop();
    nginx_.reset();
}

UpdateService ReleaseService::update_service() const
{
    std::string ca = ca_pem();
    return UpdateService {
        .client_base_url = client_base_url(),
        .make_agent = [ca] { return http_agent(30, 120, ca); },
        .self_update = [](const std::atomic<bool>&) { return false; },
    };
}

std::string write_asset_blob(const std::filesystem::path& client_folder, const std::string& content)
{
    std::string path = "Assets/" + hex_lower(sha256_bytes(content)) + ".pmk";
    std::filesystem::path full = client_folder / path;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary | std::ios::trunc) << content;
    return path;
}

std::string patterned_bytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

} // namespace torvane::test
