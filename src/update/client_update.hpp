// The managed update of the game client: fetch and verify the signed release list, take the update
// lock, reuse what the installed release has, download the rest, check the asset index and the
// client's signature, store the list and switch the active release.
#pragma once

#include "core/http_agent.hpp"
#include "platform/result.hpp"
#include "core/ui_message.hpp"
#include "update/asset_workers.hpp"
#include "update/download_workers.hpp"
#include "update/release_list.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace torvane {

inline constexpr std::uint64_t free_space_reserve = 209'715'200; // 200 MiB beyond the download
// The pause before list attempt n (n > 0) is n times this.
inline constexpr std::chrono::milliseconds release_list_retry_pause {1000};

inline constexpr char tls_unavailable_message[] = "não foi possível iniciar o TLS";
inline constexpr char release_list_too_large_message[] = "lista de atualização excede o tamanho permitido.";
inline constexpr char index_not_of_release_message[] = "o índice não pertence à versão assinada.";
inline constexpr char client_ready_text[] = "Cliente pronto para jogar.";

// How the update reaches the service. default_update_service() is the launcher's own; tests point
// it at a loopback server.
struct UpdateService {
    std::string client_base_url;
    std::function<Result<HttpAgent>()> make_agent; // 30 s connect, 120 s read
    std::function<bool(const std::atomic<bool>&)> self_update;
    PauseFunction pause = sleep_for_pause;
};
UpdateService default_update_service();

// GETs the release list with up to 4 attempts (pauses of 1, 2 and 3 s before the retries). A list
// larger than 5,242,880 bytes, by its "Content-Length" or by its body, fails; after the fourth
// failed attempt the result is the last attempt's error.
Result<std::string> fetch_release_list(const HttpAgent& agent, const UpdateService& service);

// With the installed folder holding the same release: whether an entry of the new list is
// processed again. The executable, the asset index and their signatures, every user file, and
// every entry that is new or differs from the installed list in size or SHA-256. The update also
// processes every entry whose file changed since the install verified it (install_record.hpp).
bool next_entry_to_recheck(const ReleaseEntry& entry, const ReleaseEntryIndex& installed);

// Brings the game client up to date from the current signed release list. installed_folder is
// the folder of the installed release as resolve_active_release gave it (the game folder when no
// release is active). Returns the folder the game must run from, or the Portuguese error text
// ("cancelado" for a cancellation). Every report goes to the sink, from this thread or a worker.
Result<std::filesystem::path> update_client(const std::filesystem::path& game_folder,
                                            const std::filesystem::path& installed_folder, ProgressSink& sink,
                                            const std::atomic<bool>& cancel_flag);
Result<std::filesystem::path> update_client(const UpdateService& service, const std::filesystem::path& game_folder,
                                            const std::filesystem::path& installed_folder, ProgressSink& sink,
                                            const std::atomic<bool>& cancel_flag);

// What the update thread of the managed path is given.
struct SealedUpdateContext {
    UiSender sender;
    std::filesystem::path game_folder;
    std::filesystem::path installed_folder;
    bool test_flag = false; // skips the self-update
    std::shared_ptr<std::atomic<bool>> cancel_flag;
    UpdateService service = default_update_service();
};

// The update thread: the self-update first (unless the test flag is set), which ends the thread
// with Finished(Ok, relaunch true) when it replaced the executable; otherwise the client update,
// whose reports go to the UI, then ClientReady and Finished(Ok, relaunch false), or Finished(Err).
void sealed_update_worker(SealedUpdateContext context);

} // namespace torvane
