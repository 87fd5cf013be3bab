#include "support/system_error_texts.hpp"

namespace torvane::test {

const SystemErrorTexts& system_error_texts()
{
    static const SystemErrorTexts texts {
        .missing_file = "No such file or directory (os error 2)",
        .missing_folder = "No such file or directory (os error 2)",
        .access_denied = "Permission denied (os error 13)",
        .file_exists = "File exists (os error 17)",
        .folder_opened = "Is a directory (os error 21)",
        .file_in_the_way = "Not a directory (os error 20)",
        .not_a_folder = "Not a directory (os error 20)",
        .in_use = "Resource temporarily unavailable (os error 11)",
        .connection_refused = "Connection refused (os error 111)",
    };
    return texts;
}

} // namespace torvane::test
