#include "platform/process.hpp"

#include "platform/file_descriptor.hpp"
#include "platform/files.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvane::platform {

namespace {

bool is_executable_file(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

// A bare name is looked up in PATH's folders (an empty entry is the current folder), a name with a
// folder is made absolute against the launcher's current folder, so that the working folder the
// program starts in does not change which file runs. A bare name found nowhere fails with ENOENT.
Result<fs::path> resolve_program(const fs::path& program)
{
    std::string text = program.string();
    if (text.empty())
        return failure(os_error_text(ENOENT));
    if (text.find('/') != std::string::npos) {
        std::error_code error;
        fs::path absolute = fs::absolute(program, error);
        if (error)
            return failure(os_error_text(error.value()));
        return absolute;
    }
    const char* path_variable = std::getenv("PATH");
    std::string_view folders = path_variable ? path_variable : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        std::size_t end = folders.find(':');
        std::string_view folder = folders.substr(0, end);
        std::error_code error;
        fs::path base = folder.empty() ? fs::current_path(error) : fs::path(folder);
        fs::path candidate = base / program;
        if (!error && is_executable_file(candidate))
            return candidate;
        if (end == std::string_view::npos)
            break;
        folders.remove_prefix(end + 1);
    }
    return failure(os_error_text(ENOENT));
}

// Marks every descriptor from `first` upwards close-on-exec. close_range does it in one call;
// kernels before 5.11 get the descriptor-by-descriptor walk. Async-signal-safe.
void close_on_exec_from(int first)
{
    if (::syscall(SYS_close_range, static_cast<unsigned>(first), ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    rlimit limit {};
    long last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        ? static_cast<long>(limit.rlim_cur) : 65536;
    for (long fd = first; fd < last; ++fd) {
        int flags = ::fcntl(static_cast<int>(fd), F_GETFD);
        if (flags >= 0)
            ::fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
    }
}

// Between fork and exec: hands errno to the waiting launcher and ends the child.
[[noreturn]] void report_errno_and_exit(int report)
{
    int error_number = errno;
    (void)!::write(report, &error_number, sizeof error_number);
    ::_exit(127);
}

// Runs in the grandchild between fork and exec, so only async-signal-safe calls: reports errno
// through the pipe and ends when a step fails.
// With run_descriptor set the program is the file that descriptor reads: execveat with an empty
// path, or program (its /proc/self/fd path) on kernels without that call.
[[noreturn]] void exec_child(const char* program, char* const* argv, const char* folder, int inherited,
    int run_descriptor, int report)
{
    // Ignored signals and the blocked mask survive exec; the program starts with the defaults.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal_number = 1; signal_number < NSIG; ++signal_number)
        ::sigaction(signal_number, &defaults, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    if (folder && ::chdir(folder) != 0)
        report_errno_and_exit(report);
    close_on_exec_from(3);
    if (inherited >= 0) {
        int flags = ::fcntl(inherited, F_GETFD);
        if (flags < 0 || ::fcntl(inherited, F_SETFD, flags & ~FD_CLOEXEC) != 0)
            report_errno_and_exit(report);
    }
    if (run_descriptor >= 0) {
        // A "#!" script started this way gets /dev/fd/N as its path, which works because the
        // descriptor stays open across the exec.
        ::syscall(SYS_execveat, run_descriptor, "", argv, environ, AT_EMPTY_PATH);
        if (errno != ENOSYS)
            report_errno_and_exit(report);
    }
    ::execv(program, argv);
    report_errno_and_exit(report);
}

} // namespace

Status start_detached(const ProgramLaunch& launch)
{
    const bool from_descriptor = launch.run_from == RunFrom::InheritedDescriptor;
    if (from_descriptor && !launch.inherited_descriptor)
        return failure(os_error_text(EBADF));
    fs::path program = from_descriptor ? inherited_descriptor_path(*launch.inherited_descriptor)
                                       : TRY(resolve_program(launch.program));

    // Everything the child needs is built before fork: after it only async-signal-safe calls run.
    std::vector<std::string> words;
    words.push_back(launch.program.string());
    words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::string folder = launch.working_folder ? launch.working_folder->string() : std::string();
    int inherited = launch.inherited_descriptor.value_or(-1);
    if (launch.inherited_descriptor && ::fcntl(inherited, F_GETFD) < 0)
        return failure(last_os_error_text());

    // The grandchild writes errno here when it cannot exec; a successful exec closes the pipe.
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0)
        return failure(last_os_error_text());
    FileDescriptor report_read(pipe_ends[0]);
    FileDescriptor report_write(pipe_ends[1]);

    // A double fork: the child starts a session of its own, forks the program and exits at once,
    // so the program is adopted by init, which reaps it; the launcher only waits for the child.
    pid_t child = ::fork();
    if (child < 0)
        return failure(last_os_error_text());
    if (child == 0) {
        ::close(report_read.get());
        if (::setsid() < 0)
            report_errno_and_exit(report_write.get());
        pid_t grandchild = ::fork();
        if (grandchild < 0)
            report_errno_and_exit(report_write.get());
        if (grandchild == 0)
            exec_child(program.c_str(), argv.data(), launch.working_folder ? folder.c_str() : nullptr, inherited,
                from_descriptor ? inherited : -1, report_write.get());
        ::_exit(0);
    }
    report_write.close();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    int error_number = 0;
    ssize_t got;
    do {
        got = ::read(report_read.get(), &error_number, sizeof error_number);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof error_number))
        return failure(os_error_text(error_number));
    return {};
}

namespace {

// The kind by the first two bytes of the file the descriptor reads, read from its start without
// moving its read position.
Result<ExecutableKind> executable_kind_of_descriptor(int fd)
{
    char head[2] = {};
    std::size_t have = 0;
    while (have < sizeof head) {
        ssize_t got = ::pread(fd, head + have, sizeof head - have, static_cast<off_t>(have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failure(last_os_error_text());
        if (got == 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    // Only "MZ" needs wine. ELF and "#!" are native; anything else is started directly too, so
    // that the system refuses it with its own error ("Exec format error (os error 8)").
    if (have == 2 && head[0] == 'M' && head[1] == 'Z')
        return ExecutableKind::Windows;
    return ExecutableKind::Native;
}

} // namespace

Result<ExecutableKind> executable_kind(const fs::path& file)
{
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.is_open())
        return failure(last_os_error_text());
    return executable_kind_of_descriptor(fd.get());
}

Result<ExecutableKind> executable_kind(const FileHandle& file) { return executable_kind_of_descriptor(file.descriptor()); }

fs::path inherited_descriptor_path(int descriptor) { return "/proc/self/fd/" + std::to_string(descriptor); }

Status open_url(std::string_view url)
{
    return start_detached(ProgramLaunch {.program = "xdg-open", .arguments = {std::string(url)}});
}

} // namespace torvane::platform
