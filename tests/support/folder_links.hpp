// A symbolic link to a folder, made the way each build's tests can make one.
#pragma once

#include <filesystem>

namespace torvane::test {

// Makes a symbolic link at link that leads to the folder target. On Linux with symlink(2). In the
// Windows build under Wine, a Unix symbolic link made by /bin/ln: Win32 shows it as a folder
// reparse point of tag 0 (attributes 0x410), which is all Wine shows of a link; no junction can be
// made there. False when no link could be made (a Windows that is not Wine).
bool make_folder_link(const std::filesystem::path& target, const std::filesystem::path& link);

} // namespace torvane::test
