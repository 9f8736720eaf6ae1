// The track ring and when a point is worth recording.
#include "app/track_ring.h"

#include "display/aircraft_values.h"
#include "display/map_view.h"

#include <cmath>

TrackRingBuffer TrackRing;

static double LastLatitude = 0, LastLongitude = 0;
static double LastHeading = 0;

int TrackPointCount()
{
    int n = TrackRing.next - TrackRing.oldest;
    return n < 0 ? n + TrackRingSize : n;
}

// The ring's indices come from a file too: bring them into the ring.
static int32_t RingIndex(int32_t i) { return i >= 0 && i < TrackRingSize ? i : 0; }

void RecordTrackPoint(double latitude, double longitude, double altitude)
{
    double turn = Aircraft.Heading - LastHeading;
    if (turn > 180)
        turn -= 360;
    else if (turn < -180)
        turn += 360;
    LastHeading = Aircraft.Heading;
    // Over-zoomed tiles draw a map pixel larger, so fewer map pixels make the spacing.
    double factor = TileMapFlag.load() && MapScale > 0 ? 1.0 / MapScale : 1.0;
    double threshold = TrackPointSpacing * factor / (std::fabs(turn) + 1.0);
    bool moved = std::fabs(longitude - LastLongitude) * PixelsPerDegreeLon > threshold ||
                 std::fabs(latitude - LastLatitude) * PixelsPerDegreeLat > threshold;
    if (!moved)
        return;
    int32_t next = RingIndex(TrackRing.next);
    TrackRing.points[next] = {static_cast<float>(latitude), static_cast<float>(longitude),
                              static_cast<float>(altitude)};
    TrackRing.next = (next + 1) % TrackRingSize;
    if (TrackRing.next == RingIndex(TrackRing.oldest))
        TrackRing.oldest = (RingIndex(TrackRing.oldest) + 1) % TrackRingSize;
    LastLatitude = latitude;
    LastLongitude = longitude;
}

void ClearTrack()
{
    TrackRing.oldest = 0;
    TrackRing.next = 0;
}
