// nginx serving a folder over TLS on 127.0.0.1, started by a test and stopped with it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace torvane::test {

struct NginxOptions {
    std::filesystem::path root;             // the folder served at "/"
    std::filesystem::path certificate_pem;  // server certificate chain
    std::filesystem::path private_key_pem;  // its key
    // Bytes per second per connection; 0 means unlimited. Lets a test catch a transfer halfway.
    long rate_limit = 0;
    // The loopback port to listen on; 0 picks a free one. A fixed port serves a program built
    // with a fixed service address.
    int port = 0;
    // The TLS versions offered, as nginx's ssl_protocols names them ("TLSv1.2"); empty: nginx's own.
    std::string tls_protocols;
    // The loopback port of a plain HTTP server that answers below /files/ in the folder's place,
    // passed on as it sends (a server that sends slowly, say); 0: nginx serves the folder there too.
    int files_upstream_port = 0;
};

class NginxServer {
public:
    // Starts nginx on a free loopback port (or options.port) and waits until it accepts connections. Returns null
    // (and writes why to standard error) when nginx is missing or does not come up in time.
    static std::unique_ptr<NginxServer> start(const NginxOptions& options);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    int port() const { return port_; }
    // "https://127.0.0.1:<port>"
    std::string origin() const;
    // The requests served so far, one access-log line each ("... \"GET /path HTTP/1.1\" 200 ..."),
    // ending with the connection's TLS version ("TLSv1.3").
    std::vector<std::string> requests() const;
    // Stops the server now (a test of an unreachable service); the destructor does nothing then.
    void stop();

private:
    NginxServer() = default;
    int pid_ = -1;
    int port_ = 0;
    std::filesystem::path work_dir_;
};

} // namespace torvane::test
