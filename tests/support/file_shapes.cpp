#include "support/file_shapes.hpp"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvane::test {

namespace fs = std::filesystem;

const char* file_shape_name(FileShape shape)
{
    switch (shape) {
    case FileShape::Regular:
        return "a regular file";
    case FileShape::LinkToDevZero:
        return "a link to /dev/zero";
    case FileShape::EndlessFifo:
        return "a FIFO with a writer";
    case FileShape::OverLimit:
        return "a file past the limit";
    }
    return "?";
}

PlantedFile::PlantedFile(const fs::path& path, FileShape shape, std::string_view content, std::uint64_t limit, char pad)
    : path_(path)
{
    fs::create_directories(path.parent_path());
    std::error_code ignored;
    fs::remove(path, ignored);
    switch (shape) {
    case FileShape::Regular:
    case FileShape::OverLimit: {
        std::ofstream out(path, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (shape == FileShape::OverLimit) {
            const std::vector<char> padding(1 << 20, pad);
            for (std::uint64_t left = limit + 1 - content.size(); left > 0;) {
                auto piece = static_cast<std::streamsize>(std::min<std::uint64_t>(left, padding.size()));
                out.write(padding.data(), piece);
                left -= static_cast<std::uint64_t>(piece);
            }
        }
        if (!out.flush())
            throw std::runtime_error("could not write " + path.string());
        break;
    }
    case FileShape::LinkToDevZero:
        fs::create_symlink("/dev/zero", path);
        break;
    case FileShape::EndlessFifo: {
        if (::mkfifo(path.c_str(), 0600) != 0)
            throw std::runtime_error("mkfifo failed");
        // Opened for reading and writing, which never waits for the other end, and filled until the
        // pipe takes no more: a reader gets the bytes and then waits for more for ever.
        fifo_writer_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fifo_writer_ < 0)
            throw std::runtime_error("could not open the FIFO");
        const std::string chunk = std::string(content) + std::string(4096, pad);
        while (::write(fifo_writer_, chunk.data(), chunk.size()) > 0) {
        }
        break;
    }
    }
}

PlantedFile::~PlantedFile()
{
    if (fifo_writer_ >= 0)
        ::close(fifo_writer_);
    std::error_code ignored;
    fs::remove(path_, ignored);
}

} // namespace torvane::test
