// The flown track: a ring of the last 2000 positions, recorded every half
// second while PlotTrack is on, densely in turns and sparsely on straight
// legs, and drawn by the track layer. GUI thread.
#pragma once

#include <cstdint>

constexpr int TrackRingSize = 2000;
// Screen units between two recorded points on a straight leg.
constexpr double TrackPointSpacing = 20.0;

struct TrackPoint {
    float latitude, longitude;
    float altitude;  // feet
};

// Empty when oldest == next; else the points from oldest up to, not
// including, next, wrapping at the end.
struct TrackRingBuffer {
    TrackPoint points[TrackRingSize];
    int32_t oldest = 0;
    int32_t next = 0;
};
extern TrackRingBuffer TrackRing;

// Points in the ring.
int TrackPointCount();
// Records the position when it has moved far enough for the heading change
// since the last call (the aircraft's heading is read from the display).
void RecordTrackPoint(double latitude, double longitude, double altitude);
void ClearTrack();
// Program-clock seconds of the last recorded point; 0 before the first.
double GetLastTrackRecordTime();

// "track.bin" in the System folder: the two indices, then one 24-byte record
// a point (little-endian f32). A file of another size, with indices outside
// the ring or a point in use off the earth is refused with a log line and
// leaves the track empty.
constexpr long TrackFileSize = 8 + 24L * TrackRingSize;
void LoadTrackFile();
void SaveTrackFile();
// The same for any path; false when nothing was read or written.
bool LoadTrackFrom(const char* path);
bool SaveTrackTo(const char* path);
