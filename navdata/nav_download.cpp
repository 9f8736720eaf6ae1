// Asking the navigation-data downloader for the package of a missing source.
#include "navdata/nav_tables.h"

bool CheckForNavData()
{
    return true;
}
