// Test helper built for Windows: a game client stand-in that writes who it is (CLIENT_NAME, given
// when it is built) and its arguments to "iniciado.txt" in its working folder.
#include <cstdio>

int main(int argc, char** argv)
{
    std::FILE* out = std::fopen("iniciado.txt.parte", "wb");
    if (!out)
        return 1;
    std::fprintf(out, "%s", CLIENT_NAME);
    for (int i = 1; i < argc; ++i)
        std::fprintf(out, " %s", argv[i]);
    std::fprintf(out, "\n");
    std::fclose(out);
    return std::rename("iniciado.txt.parte", "iniciado.txt") == 0 ? 0 : 1;
}
