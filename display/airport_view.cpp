// The airport diagram's view: scale from the diagram width, centre, mouse
// panning and the projection into it.
#include "display/airport_view.h"

#include "app/settings.h"
#include "display/map_view.h"
#include "navdata/airport_details.h"
#include "platform/units.h"

#include <cmath>
#include <cstdlib>

AirportDiagramViewState AirportDiagramView;

static const double kBaseScale = 18750;

void SetAirportViewScale(double width)
{
    if (!(width > 0)) {
        AirportDiagramView.sizeFactor = 1.0;
        AirportDiagramView.scale = kBaseScale;
        return;
    }
    AirportDiagramView.sizeFactor = 4000 / width;
    AirportDiagramView.scale = kBaseScale * AirportDiagramView.sizeFactor;
}

void SetAirportViewCenter(double lat, double lon)
{
    AirportDiagramView.latitude = lat;
    AirportDiagramView.longitude = lon;
    AirportDiagramView.panning = 1;
}

void ResetAirportViewCenter()
{
    const AirportHeader& h = GetAirportDetail().header;
    AirportDiagramView.latitude = h.lat;
    AirportDiagramView.longitude = h.lon;
    AirportDiagramView.panning = 0;
}

// Cosine of the centre latitude with a floor, so the poles stay finite.
static double CentreCosine()
{
    double c = std::cos(AirportDiagramView.latitude * RadiansPerDegree8);
    return std::fabs(c) < 1e-6 ? 1e-6 : c;
}

// A jump of 100 pixels or more (a new drag) only moves the reference point.
void PanByMouse(int32_t x, int32_t y)
{
    AirportDiagramViewState& v = AirportDiagramView;
    int32_t dy = y - v.lastY;
    if (std::abs(dy) < 100)
        v.latitude -= dy / v.scale;
    int32_t dx = x - v.lastX;
    if (std::abs(dx) < 100)
        v.longitude -= dx / (CentreCosine() * v.scale);
    v.lastX = x;
    v.lastY = y;
}

void LatLonToAirportViewXY(double* x, double* y, double lon, double lat)
{
    const AirportDiagramViewState& v = AirportDiagramView;
    *x = (lon - v.longitude) * v.scale * std::cos(v.latitude * RadiansPerDegree8);
    *y = (v.latitude - lat) * v.scale;
}

double GetTextScale()
{
    return Settings.AirportOverlay ? MapScale : Settings.TaxiwayZoomfactor;
}
