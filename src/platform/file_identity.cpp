// Which file a path leads to, told by the identity both systems' metadata carries.
#include "platform/files.hpp"

namespace torvane::platform {

bool same_file(const fs::path& a, const fs::path& b)
{
    auto first = file_info(a, FollowLinks::Yes);
    auto second = file_info(b, FollowLinks::Yes);
    return first && second && first->kind != FileKind::Missing && second->kind != FileKind::Missing
           && first->device == second->device && first->inode == second->inode;
}

} // namespace torvane::platform
