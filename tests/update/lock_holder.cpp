// Test helper: takes the update lock of the game folder given as its argument, says "held" on
// standard output and keeps the lock until its standard input closes. When the lock is taken
// already, it prints the error and exits with 1.
#include "update/install_folders.hpp"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    auto lock = torvane::take_update_lock(argv[1]);
    if (!lock) {
        std::printf("%s\n", lock.error().c_str());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    return 0;
}
