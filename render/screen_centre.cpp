// The point the map centre is drawn at (see screen_centre.h).
#include "render/screen_centre.h"

ScreenPointI ScreenCentre = {320, 240};

void GetScreenCentre(float* x, float* y)
{
    *x = static_cast<float>(ScreenCentre.x);
    *y = static_cast<float>(ScreenCentre.y);
}
