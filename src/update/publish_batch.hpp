// Verified downloads waiting for their final names. A file may take its name only once its bytes
// are on disk; flushing each file on its own costs one disk cache flush per file, so downloads are
// published in batches: one flush of their file system, then one rename each. The flushing and
// renaming run on one publisher thread of the batch's own, so that no download waits for the disk.
#pragma once

#include "platform/result.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace torvane {

class PublishBatch {
public:
    // A batch is published once it holds this much, or its first file has waited this long.
    static constexpr std::uint64_t batch_bytes = 64ull << 20;
    static constexpr std::size_t batch_files = 256;
    static constexpr std::chrono::milliseconds default_wait {1000};

    // Starts the publisher thread.
    PublishBatch() : PublishBatch(default_wait) {}
    explicit PublishBatch(std::chrono::milliseconds wait);
    // Publishes what still waits, as finish() does.
    ~PublishBatch();
    PublishBatch(const PublishBatch&) = delete;
    PublishBatch& operator=(const PublishBatch&) = delete;

    // Queues a complete, verified, closed temporary for its target and returns at once; the
    // publisher thread gives it its name with its batch. Once a publication has failed, the
    // temporary is deleted instead and that failure is returned, so the caller stops.
    Status add(std::filesystem::path temporary, std::filesystem::path target, std::uint64_t size);
    // Publishes everything queued, waits until it is done and stops the publisher thread. Fails
    // with the first failure of any publication. Later calls return the same result.
    Status finish();

private:
    struct Pending {
        std::filesystem::path temporary;
        std::filesystem::path target;
    };
    bool batch_due(std::chrono::steady_clock::time_point now) const; // under mutex_
    void publisher_loop();
    // Flushes the batch's file systems, then renames each temporary onto its target. On a failure
    // the temporaries not yet renamed are deleted.
    static Status publish(const std::vector<Pending>& batch);

    const std::chrono::milliseconds wait_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Pending> queue_;
    std::uint64_t queued_bytes_ = 0;
    std::chrono::steady_clock::time_point first_queued_;
    bool finishing_ = false;
    std::optional<std::string> failure_; // the first publication that failed
    std::thread publisher_; // last: it starts once everything above is set up
};

} // namespace torvane
