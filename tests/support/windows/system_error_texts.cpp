#include "support/system_error_texts.hpp"

#include "platform/files.hpp"

#include <winsock2.h>
#include <windows.h>

namespace torvane::test {

const SystemErrorTexts& system_error_texts()
{
    static const SystemErrorTexts texts {
        .missing_file = platform::os_error_text(ERROR_FILE_NOT_FOUND),
        .missing_folder = platform::os_error_text(ERROR_PATH_NOT_FOUND),
        .access_denied = platform::os_error_text(ERROR_ACCESS_DENIED),
        .file_exists = platform::os_error_text(ERROR_FILE_EXISTS),
        .folder_opened = platform::os_error_text(ERROR_ACCESS_DENIED),
        .file_in_the_way = platform::os_error_text(ERROR_ALREADY_EXISTS),
        .not_a_folder = platform::os_error_text(ERROR_DIRECTORY),
        .in_use = platform::os_error_text(ERROR_SHARING_VIOLATION),
        .connection_refused = platform::os_error_text(WSAECONNREFUSED),
    };
    return texts;
}

} // namespace torvane::test
