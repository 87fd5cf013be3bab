#include "platform/instance_lock.hpp"

#include "platform/result.hpp"
#include "platform/files.hpp"
#include "platform/linux/descriptor_lock.hpp"
#include "platform/linux/lock_folder.hpp"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::platform {

namespace fs = std::filesystem;

namespace {

// The open lock file of this process, or -1. Written and taken only with atomic exchanges so
// that exactly one caller closes it.
std::atomic<int> instance_slot {-1};

void store_in_slot(int fd)
{
    if (instance_slot.exchange(fd) != -1)
        fatal("o slot da trava de instância já estava ocupado");
}

constexpr auto retry_pause = std::chrono::milliseconds(50);

// Opens a folder (not through a link at its last step) and checks that it is this user's own and
// that nobody else may write into it, so nobody else can plant or hold the lock file there.
Result<int> open_own_folder(const fs::path& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return failure(last_os_error_text());
    struct stat info {};
    std::string refusal;
    if (::fstat(fd, &info) != 0)
        refusal = last_os_error_text();
    else if (info.st_uid != ::geteuid())
        refusal = "a pasta de travas pertence a outro usuário: " + folder.string();
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        refusal = "a pasta de travas pode ser alterada por outros usuários: " + folder.string();
    if (!refusal.empty()) {
        ::close(fd);
        return failure(refusal);
    }
    return fd;
}

std::mutex user_runtime_root_mutex;
fs::path user_runtime_root_override;

} // namespace

LockFolderPlaces lock_folder_places()
{
    LockFolderPlaces places;
    places.runtime_variable = std::getenv("XDG_RUNTIME_DIR");
    {
        std::lock_guard lock(user_runtime_root_mutex);
        places.user_runtime_root = user_runtime_root_override.empty() ? fs::path("/run/user") : user_runtime_root_override;
    }
    std::error_code error;
    places.temporary_folder = fs::temp_directory_path(error);
    if (error)
        places.temporary_folder = "/tmp";
    return places;
}

void set_user_runtime_root(fs::path root)
{
    std::lock_guard lock(user_runtime_root_mutex);
    user_runtime_root_override = std::move(root);
}

Result<fs::path> lock_folder(const LockFolderPlaces& places)
{
    const char* runtime = places.runtime_variable;
    // A relative value is invalid and ignored, as for every XDG variable.
    if (runtime && *runtime && fs::path(runtime).is_absolute())
        return fs::path(runtime);
    // The folder the session would have named: only one that is the user's own and closed to
    // others, as the variable's folder must be.
    const fs::path user_runtime = places.user_runtime_root / std::to_string(::geteuid());
    if (auto fd = open_own_folder(user_runtime)) {
        ::close(*fd);
        return user_runtime;
    }
    fs::path own = places.temporary_folder / ("torvane-" + std::to_string(::geteuid()));
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST)
        return failure(last_os_error_text());
    return own;
}

std::string instance_lock_file_name()
{
    std::string name = instance_mutex_name;
    for (char& c : name) {
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
            || c == '-' || c == '_';
        if (!safe)
            c = '_';
    }
    return name + ".lock";
}

InstanceLock create_instance_mutex()
{
    auto folder = lock_folder(lock_folder_places());
    if (!folder)
        return InstanceLock::Unavailable;
    auto folder_fd = open_own_folder(*folder);
    if (!folder_fd)
        return InstanceLock::Unavailable;
    // Opened relative to the checked folder, so the folder cannot be swapped in between.
    int fd = ::openat(*folder_fd, instance_lock_file_name().c_str(),
        O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    ::close(*folder_fd);
    if (fd < 0)
        return InstanceLock::Unavailable;
    if (lock_without_waiting(fd, LOCK_EX)) {
        store_in_slot(fd);
        return InstanceLock::Owned;
    }
    if (errno == EWOULDBLOCK) {
        store_in_slot(fd);
        return InstanceLock::HeldElsewhere;
    }
    // A file system without locks is no sign of another launcher: run without the lock rather
    // than never start.
    ::close(fd);
    return InstanceLock::Unavailable;
}

bool wait_for_instance_mutex(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int fd = instance_slot.load();
        if (fd < 0)
            return false;
        if (lock_without_waiting(fd, LOCK_EX))
            return true;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(retry_pause, deadline - now));
    }
}

bool take_and_release_instance_mutex()
{
    int fd = instance_slot.exchange(-1);
    if (fd < 0)
        return false;
    // Unlocked explicitly as well: the lock belongs to the open file, and closing this descriptor
    // alone would keep it while any copy of the descriptor lived on.
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return true;
}

void release_instance_mutex() { take_and_release_instance_mutex(); }

} // namespace torvane::platform
