// Verified downloads waiting for their final names. A file may take its name only once its bytes
// are on disk; flushing each file on its own costs one disk cache flush per file, so downloads are
// published in batches: one flush of their file system, then one rename each.
#pragma once

#include "platform/result.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

namespace torvane {

class PublishBatch {
public:
    // A batch is published once it holds this much, or its first file has waited this long.
    static constexpr std::uint64_t batch_bytes = 64ull << 20;
    static constexpr std::size_t batch_files = 256;
    static constexpr std::chrono::milliseconds default_wait {1000};

    PublishBatch() : PublishBatch(default_wait) {}
    explicit PublishBatch(std::chrono::milliseconds wait) : wait_(wait) {}

    // Queues a complete, verified, closed temporary for its target, and publishes the queue when
    // it is full. Fails with the error of that publication.
    Status add(std::filesystem::path temporary, std::filesystem::path target, std::uint64_t size);
    // Publishes everything queued.
    Status publish_all();
    // Deletes everything queued without publishing it.
    void discard_all();

private:
    struct Pending {
        std::filesystem::path temporary;
        std::filesystem::path target;
    };
    std::vector<Pending> take_queue();
    // Flushes the batch's file systems, then renames each temporary onto its target. On a failure
    // the temporaries not yet renamed are deleted.
    Status publish(std::vector<Pending> batch);

    const std::chrono::milliseconds wait_;
    std::mutex queue_mutex_;
    std::vector<Pending> queue_;
    std::uint64_t queued_bytes_ = 0;
    std::chrono::steady_clock::time_point first_queued_;
    std::mutex publish_mutex_; // one publication at a time
};

} // namespace torvane
