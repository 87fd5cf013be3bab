// The release service on loopback for tests: a folder that the release publisher fills and nginx
// serves over TLS, with a certificate from a test CA made for it.
#pragma once

#include "publisher.hpp"
#include "support/nginx_server.hpp"
#include "support/temp_dir.hpp"
#include "support/tls_test_server.hpp"
#include "update/client_update.hpp"

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace torvane::test {

class ReleaseService {
public:
    // Starts nginx on a free port (or on options.port) with the server certificate given (by
    // default one from a CA of its own); options.root is ignored.
    explicit ReleaseService(NginxOptions options = {}, TestCertificates certificates = make_test_certificates());

    bool running() const { return nginx_ != nullptr; }
    // The folder served at "/": client/current.pmx, client/releases/<id>/..., files/...
    const std::filesystem::path& root() const { return root_.path(); }
    std::string origin() const;
    std::string client_base_url() const { return origin() + "/client"; }
    const std::string& ca_pem() const { return certificates_.ca_pem; }
    // The requests served so far that name the given path prefix (e.g. "/client/releases/<id>/").
    std::vector<std::string> requests_under(const std::string& prefix) const;
    // The list paths of the files of one release served so far, once per request.
    std::multiset<std::string> release_files_served(const std::string& release_id) const;

    // Publishes the client folder as the current release with the development key.
    Result<publisher::PublishedRelease> publish(const std::filesystem::path& client_folder);

    // Starts nginx again on the same port with another rate limit (bytes per second per connection).
    void restart(long rate_limit);
    void stop();

    // The update's view of this service: its client base, an agent that trusts the test CA, real
    // pauses, and no self-update.
    UpdateService update_service() const;

private:
    TempDir root_;
    TestCertificates certificates_;
    TempDir certificate_dir_;
    NginxOptions options_;
    std::unique_ptr<NginxServer> nginx_;
};

// Writes an asset blob of the given content into a client folder, named by its SHA-256; returns
// its list path.
std::string write_asset_blob(const std::filesystem::path& client_folder, const std::string& content);

// Deterministic bytes of the given size, different for each seed.
std::string patterned_bytes(std::size_t size, unsigned seed);

} // namespace torvane::test
