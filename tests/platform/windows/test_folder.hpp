// A fresh folder under the temporary folder for one test, removed with everything in it.
#pragma once

#include "platform/files.hpp"
#include "platform/folder_walk.hpp"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane::test {

class TestFolder {
public:
    TestFolder()
    {
        static std::atomic<unsigned> counter = 0;
        wchar_t temp[MAX_PATH + 1];
        DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
        path_ = std::filesystem::path(std::wstring(temp, length))
                / (L"torvane-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TestFolder()
    {
        // Read-only files would stop the removal. The layer's own walk and delete: MinGW's
        // std::filesystem goes through the Unix links that tests plant.
        platform::walk_folder(path_, [](const platform::WalkEntry& walked) {
            if (walked.entry.kind != platform::FileKind::SymbolicLink)
                ::SetFileAttributesW(walked.path.c_str(), FILE_ATTRIBUTE_NORMAL);
            return platform::Descend::Yes;
        });
        (void)platform::remove_tree(path_);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(std::string_view name, std::string_view bytes) const
    {
        std::filesystem::path file = path_ / name;
        (void)platform::write_file(file, bytes);
        return file;
    }

private:
    std::filesystem::path path_;
};

} // namespace torvane::test
