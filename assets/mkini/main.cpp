// Writes the shipped Plovik.ini: every settings key at its default text, from
// the same key table that the reader and the writer use.
#include "app/settings_table.h"

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tvl-mkini <output Plovik.ini>\n");
        return 2;
    }
    std::vector<char> text(1 << 20);
    long length = FormatDefaultSettingsFile(text.data(), text.size());
    FILE* out = length < 0 ? nullptr : std::fopen(argv[1], "wb");
    if (!out || std::fwrite(text.data(), 1, static_cast<size_t>(length), out) != static_cast<size_t>(length)) {
        std::fprintf(stderr, "tvl-mkini: cannot write %s\n", argv[1]);
        if (out)
            std::fclose(out);
        return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
