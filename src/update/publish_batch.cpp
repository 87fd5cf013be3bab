#include "update/publish_batch.hpp"

#include "platform/files.hpp"
#include "platform/output_file.hpp"

#include <set>
#include <utility>

namespace torvane {

Status PublishBatch::add(std::filesystem::path temporary, std::filesystem::path target, std::uint64_t size)
{
    std::vector<Pending> batch;
    {
        std::lock_guard lock(queue_mutex_);
        if (queue_.empty())
            first_queued_ = std::chrono::steady_clock::now();
        queue_.push_back({std::move(temporary), std::move(target)});
        queued_bytes_ += size;
        bool full = queued_bytes_ >= batch_bytes || queue_.size() >= batch_files ||
                    std::chrono::steady_clock::now() - first_queued_ >= wait_;
        if (!full)
            return {};
        batch = std::exchange(queue_, {});
        queued_bytes_ = 0;
    }
    return publish(std::move(batch));
}

std::vector<PublishBatch::Pending> PublishBatch::take_queue()
{
    std::lock_guard lock(queue_mutex_);
    queued_bytes_ = 0;
    return std::exchange(queue_, {});
}

Status PublishBatch::publish_all() { return publish(take_queue()); }

void PublishBatch::discard_all()
{
    for (const Pending& pending : take_queue())
        (void)platform::remove_file(pending.temporary);
}

Status PublishBatch::publish(std::vector<Pending> batch)
{
    std::lock_guard lock(publish_mutex_);
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
