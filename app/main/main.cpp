// Entry point of the map program: hands the command line to WinMain.
#include <cstdio>

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    std::printf("tervalingo: start-up not built yet\n");
    return 0;
}
