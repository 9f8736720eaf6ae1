// What the navigation-data code calls in other subsystems whose own headers
// have not landed yet; each line moves to its owner's header when it lands.
#pragma once

#include <cstdint>

// Shell accessors.
void GetMapCenter(double* latitude, double* longitude);

