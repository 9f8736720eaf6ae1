// Entry point of the console proxy TVL64.
#include <cstdio>

int main()
{
    std::printf("TVL64: not built yet\n");
    return 0;
}
