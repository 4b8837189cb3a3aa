// Writes Quorvel's icon (the PNG the player carries built in) to the file
// named by its argument, for the hicolor theme of an installation.

#include "res/QuorvelIcon.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argc > 0 ? argv[0] : "quorvel-write-icon");
        return 1;
    }
    auto png = QuorvelIconPng();
    std::FILE* out = std::fopen(argv[1], "wb");
    bool written = out && std::fwrite(png.data(), 1, png.size(), out) == png.size();
    if (out && std::fclose(out) != 0)
        written = false;
    if (!written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
