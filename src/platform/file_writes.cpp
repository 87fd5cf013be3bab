#include "platform/file_handle.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"

#include <array>
#include <cstdint>

namespace torvane::platform {

Status write_file(const fs::path& path, std::string_view bytes)
{
    OutputFile file = TRY(OutputFile::create(path, ExistingFile::Replace));
    TRY(file.write(bytes));
    return file.close();
}

Status copy_to_new_file(const fs::path& from, const fs::path& to)
{
    FileHandle source = TRY(FileHandle::open_for_reading(from));
    OutputFile target = TRY(OutputFile::create(to, ExistingFile::Replace));
    auto copied = [&]() -> Status {
        std::array<std::uint8_t, 1 << 16> buffer {};
        for (;;) {
            std::size_t got = TRY(source.read(buffer));
            if (got == 0)
                break;
            TRY(target.write(std::string_view(reinterpret_cast<const char*>(buffer.data()), got)));
        }
        TRY(target.copy_permissions_from(from));
        return target.sync_and_close();
    }();
    if (!copied)
        (void)remove_file(to);
    return copied;
}

} // namespace torvane::platform
