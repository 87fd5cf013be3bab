#include "support/nginx_server.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace torvane::test {

namespace {

int free_loopback_port()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool accepts_connections(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

std::string configuration(const NginxOptions& options, const std::filesystem::path& work, int port)
{
    std::string w = work.string();
    std::string rate = options.rate_limit > 0 ? "        limit_rate " + std::to_string(options.rate_limit) + ";\n" : "";
    std::string protocols = options.tls_protocols.empty() ? "" : "        ssl_protocols " + options.tls_protocols + ";\n";
    std::string files = options.files_upstream_port == 0 ? ""
                        : "        location /files/ { proxy_pass http://127.0.0.1:" + std::to_string(options.files_upstream_port)
                              + "; proxy_buffering off; }\n";
    return "daemon off;\n"
           "master_process off;\n"
           "worker_processes 1;\n"
           "pid " + w + "/nginx.pid;\n"
           "error_log " + w + "/error.log warn;\n"
           "events { worker_connections 256; }\n"
           "http {\n"
           // nginx's combined format with the TLS version of the connection at the end.
           "    log_format torvane '$remote_addr - $remote_user [$time_local] \"$request\" $status "
           "$body_bytes_sent \"$http_referer\" \"$http_user_agent\" $ssl_protocol';\n"
           "    access_log " + w + "/access.log torvane;\n"
           "    client_body_temp_path " + w + "/body;\n"
           "    proxy_temp_path " + w + "/proxy;\n"
           "    fastcgi_temp_path " + w + "/fastcgi;\n"
           "    uwsgi_temp_path " + w + "/uwsgi;\n"
           "    scgi_temp_path " + w + "/scgi;\n"
           "    types { application/json json; }\n"
           "    default_type application/octet-stream;\n"
           "    sendfile on;\n"
           "    keepalive_requests 10000;\n"
           "    server {\n"
           "        listen 127.0.0.1:" + std::to_string(port) + " ssl;\n"
           "        ssl_certificate " + options.certificate_pem.string() + ";\n"
           "        ssl_certificate_key " + options.private_key_pem.string() + ";\n"
           "        root " + options.root.string() + ";\n"
           + rate + protocols + files +
           "    }\n"
           "}\n";
}

} // namespace

std::unique_ptr<NginxServer> NginxServer::start(const NginxOptions& options)
{
    const char* binary = "/usr/sbin/nginx";
    if (::access(binary, X_OK) != 0) {
        std::fprintf(stderr, "nginx_server: %s not found\n", binary);
        return nullptr;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "torvane-nginx-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return nullptr;
    std::filesystem::path work = pattern;

    // A port found free can be taken by someone else before nginx binds it: try a few.
    for (int attempt = 0; attempt < (options.port != 0 ? 1 : 5); ++attempt) {
        int port = options.port != 0 ? options.port : free_loopback_port();
        std::filesystem::path conf = work / "nginx.conf";
        std::ofstream(conf) << configuration(options, work, port);

        pid_t pid = ::fork();
        if (pid == 0) {
            std::string prefix = work.string() + "/";
            ::execl(binary, binary, "-p", prefix.c_str(), "-c", conf.c_str(), "-e", (work / "error.log").c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        auto server = std::unique_ptr<NginxServer>(new NginxServer());
        server->pid_ = pid;
        server->port_ = port;
        server->work_dir_ = work;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (accepts_connections(port))
                return server;
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                server->pid_ = -1;
                break; // exited: most likely the port was taken
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        server->work_dir_.clear(); // keep the folder for the next attempt
    }
    std::ifstream log(work / "error.log");
    std::fprintf(stderr, "nginx_server: nginx did not start:\n%s\n",
                 std::string(std::istreambuf_iterator<char>(log), {}).c_str());
    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);
    return nullptr;
}

std::string NginxServer::origin() const { return "https://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> NginxServer::requests() const
{
    std::vector<std::string> lines;
    std::ifstream log(work_dir_ / "access.log");
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

void NginxServer::stop()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 250 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }
}

NginxServer::~NginxServer()
{
    stop();
    if (!work_dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(work_dir_, ignored);
    }
}

} // namespace torvane::test
