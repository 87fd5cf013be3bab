#include "platform/instance_lock.hpp"

namespace torvane::platform {

// The lock itself is not taken yet, so there is nothing to let go.
void release_instance_mutex() {}

} // namespace torvane::platform
