// What the navigation-data code calls in other subsystems whose own headers
// have not landed yet; each line moves to its owner's header when it lands.
#pragma once

#include <cstdint>

// Airport charts: "File: %s not found!" once per run.
void ShowFileNotFound(const char* path);

// Shell accessors.
void GetMapCenter(double* latitude, double* longitude);

