// System-font text and screen hit tests.
#pragma once

#include "platform/gpu/d3d11.h"

// The text objects made at device start and released at clean-up.
void CreateTextObjects(ID3D11Device* device);
void ReleaseTextObjects();
