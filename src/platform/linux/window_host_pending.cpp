// Placeholder until the SDL host lands: no window can be made.
#include "platform/process.hpp"
#include "platform/window_host.hpp"

#include <cstdio>

namespace torvane::platform {

Result<DisplayInfo> open_display() { return failure("sem tela"); }
Result<std::unique_ptr<Window>> create_window(const WindowSpec&) { return failure("sem tela"); }
void show_orphan_message_box(std::string_view, std::string_view text, MessageIcon)
{
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}
Status start_detached(const ProcessSpec&) { return failure("indisponível"); }
Result<ExecutableKind> executable_kind(const fs::path&) { return ExecutableKind::Native; }
Status open_url(std::string_view) { return failure("indisponível"); }

} // namespace torvane::platform
