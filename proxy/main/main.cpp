// Entry point of the console proxy TVL64.
#include "proxy/proxy_main.h"

int main(int argc, char** argv)
{
    return ProxyMain(argc, argv);
}
