// The Settings block (the reader and writer fill it).
#include "app/settings.h"

SettingsBlock Settings;
