#include "app/test_log.hpp"

#include "platform/files.hpp"
#include "platform/output_file.hpp"

namespace torvane {

std::string join_log_lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

Status write_test_log(const std::filesystem::path& path, const std::vector<std::string>& lines)
{
    (void)platform::create_folders(path.parent_path());
    platform::OutputFile log = TRY(platform::OutputFile::create(path, platform::ExistingFile::ReplaceOrRewrite));
    TRY(log.write(join_log_lines(lines)));
    return log.close();
}

} // namespace torvane
