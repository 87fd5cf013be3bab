// A client folder with everything a release needs, for tests that publish releases.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace torvane::test {

struct SampleClient {
    int asset_blobs = 2;
    // The content of Main.exe; the other files get short texts of their own.
    std::string main_exe = "MZ sample client";
    // A prefix mixed into every file's content, so that two clients can differ everywhere.
    std::string flavour;
};

// Writes the core files (without the two signatures, which the publisher makes), the user files,
// an asset index with a zero release id, and the asset blobs named by their SHA-256. Returns the
// '/'-separated paths written.
std::vector<std::string> write_sample_client(const std::filesystem::path& folder, const SampleClient& client = {});

// The development key pair (the build's default release key) and a second key it does not know.
std::filesystem::path dev_key_path();
std::filesystem::path foreign_key_path();

} // namespace torvane::test
