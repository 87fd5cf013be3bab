#include "update/publish_batch.hpp"

#include "platform/files.hpp"
#include "platform/output_file.hpp"

#include <set>
#include <utility>

namespace torvane {

PublishBatch::PublishBatch(std::chrono::milliseconds wait) : wait_(wait), publisher_([this] { publisher_loop(); }) {}

PublishBatch::~PublishBatch() { (void)finish(); }

Status PublishBatch::add(std::filesystem::path temporary, std::filesystem::path target, std::uint64_t size)
{
    std::lock_guard lock(mutex_);
    if (finishing_)
        fatal("a file was queued for publication after the batch finished");
    if (failure_) {
        (void)platform::remove_file(temporary);
        return failure(*failure_);
    }
    bool first = queue_.empty();
    if (first)
        first_queued_ = std::chrono::steady_clock::now();
    queue_.push_back({std::move(temporary), std::move(target)});
    queued_bytes_ += size;
    // The publisher sleeps until a first file starts the wait, or until the batch is full.
    if (first || batch_due(std::chrono::steady_clock::now()))
        wake_.notify_one();
    return {};
}

Status PublishBatch::finish()
{
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (publisher_.joinable())
        publisher_.join();
    std::lock_guard lock(mutex_);
    if (failure_)
        return failure(*failure_);
    return {};
}

bool PublishBatch::batch_due(std::chrono::steady_clock::time_point now) const
{
    return queued_bytes_ >= batch_bytes || queue_.size() >= batch_files ||
           (!queue_.empty() && now - first_queued_ >= wait_);
}

void PublishBatch::publisher_loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty()) {
            if (finishing_)
                return;
            wake_.wait(lock, [this] { return finishing_ || !queue_.empty(); });
            continue;
        }
        auto due = [this] { return finishing_ || batch_due(std::chrono::steady_clock::now()); };
        if (!due()) {
            // The wait of the oldest file bounds the sleep; a full batch or the end wakes it early.
            wake_.wait_until(lock, first_queued_ + wait_, due);
            if (!due())
                continue;
        }
        std::vector<Pending> batch = std::exchange(queue_, {});
        queued_bytes_ = 0;
        lock.unlock();
        Status published = publish(batch);
        lock.lock();
        if (!published && !failure_)
            failure_ = published.error();
    }
}

Status PublishBatch::publish(const std::vector<Pending>& batch)
{
    Status result;
    std::set<std::uint64_t> flushed;
    for (const Pending& pending : batch) {
        auto info = platform::file_info(pending.temporary, platform::FollowLinks::No);
        if (!info) {
            result = failure(info.error());
            break;
        }
        if (flushed.insert(info->device).second) {
            result = platform::sync_file_system_of(pending.temporary);
            if (!result)
                break;
        }
    }
    std::size_t renamed = 0;
    while (result && renamed < batch.size()) {
        result = platform::replace_rename(batch[renamed].temporary, batch[renamed].target);
        if (result)
            ++renamed;
    }
    if (!result)
        for (std::size_t i = renamed; i < batch.size(); ++i)
            (void)platform::remove_file(batch[i].temporary);
    return result;
}

} // namespace torvane
