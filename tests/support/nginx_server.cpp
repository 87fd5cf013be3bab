#include "support/nginx_server.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <string_view>
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

// The configuration file, shared with the demos, with its marks filled in.
const std::filesystem::path configuration_template =
    std::filesystem::path(TORVANE_SOURCE_DIR) / "tests" / "support" / "nginx.conf.in";

// Replaces every "@name@" in text with value.
void fill(std::string& text, std::string_view name, const std::string& value)
{
    std::string mark = "@" + std::string(name) + "@";
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
        text.replace(at, mark.size(), value);
}

// Empty when the template cannot be read.
std::string configuration(const NginxOptions& options, const std::filesystem::path& work, int port)
{
    std::ifstream in(configuration_template, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (text.empty())
        return text;
    std::string server;
    if (options.rate_limit > 0)
        server += "        limit_rate " + std::to_string(options.rate_limit) + ";\n";
    if (!options.tls_protocols.empty())
        server += "        ssl_protocols " + options.tls_protocols + ";\n";
    if (options.files_upstream_port != 0)
        server += "        location /files/ { proxy_pass http://127.0.0.1:" + std::to_string(options.files_upstream_port)
                  + "; proxy_buffering off; }\n";
    fill(text, "WORK", work.string());
    fill(text, "PORT", std::to_string(port));
    fill(text, "CERTIFICATE", options.certificate_pem.string());
    fill(text, "KEY", options.private_key_pem.string());
    fill(text, "ROOT", options.root.string());
    fill(text, "SERVER", server);
    return text;
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
        std::string text = configuration(options, work, port);
        if (text.empty()) {
            std::fprintf(stderr, "nginx_server: cannot read %s\n", configuration_template.c_str());
            std::error_code ignored;
            std::filesystem::remove_all(work, ignored);
            return nullptr;
        }
        std::ofstream(conf) << text;

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
