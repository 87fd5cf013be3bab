// The shapes a file the launcher reads whole may take on a damaged or hostile disk, for the tests
// of each reader: the file itself, and three that a reader must refuse without blocking or running
// out of memory, treating them as a damaged file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane::test {

enum class FileShape {
    Regular,       // the content itself
    LinkToDevZero, // a symbolic link to /dev/zero: endless, and its size says nothing
    EndlessFifo,   // a FIFO whose writer keeps it open with a full pipe: a read would never end
    OverLimit,     // the content padded to one byte past the reader's limit
};
inline constexpr FileShape all_file_shapes[] = {FileShape::Regular, FileShape::LinkToDevZero, FileShape::EndlessFifo,
                                                FileShape::OverLimit};

const char* file_shape_name(FileShape shape);

// Puts a shape at path (replacing whatever is there) for as long as the object lives, then removes
// it. OverLimit pads the content with pad up to limit + 1 bytes, so that a reader that ignored the
// limit would still find the content valid.
class PlantedFile {
public:
    PlantedFile(const std::filesystem::path& path, FileShape shape, std::string_view content, std::uint64_t limit,
                char pad);
    ~PlantedFile();
    PlantedFile(const PlantedFile&) = delete;
    PlantedFile& operator=(const PlantedFile&) = delete;

private:
    std::filesystem::path path_;
    int fifo_writer_ = -1;
};

} // namespace torvane::test
