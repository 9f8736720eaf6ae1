// The track ring and when a point is worth recording.
#include "app/track_ring.h"

#include "display/aircraft_values.h"
#include "platform/log.h"
#include "app/program_root.h"
#include "display/map_view.h"
#include "platform/files.h"
#include "platform/threads.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

TrackRingBuffer TrackRing;

static double LastLatitude = 0, LastLongitude = 0;
static double LastHeading = 0;
static double LastRecordTime = 0;

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
    // A heading the link could not give (not a number) is no turn: the
    // spacing would compare with nothing and no point be taken at all.
    if (!std::isfinite(turn))
        turn = 0;
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
    LastRecordTime = static_cast<double>(ProgramClockMs()) / 1000.0;
}

double GetLastTrackRecordTime() { return LastRecordTime; }

void ClearTrack()
{
    TrackRing.oldest = 0;
    TrackRing.next = 0;
}

// ---- the track file ----
// Record k: latitude, altitude, longitude, latitude, altitude of point k and
// the longitude of point k + 1; readers take bytes 8..19.

namespace {

void PutWord(uint8_t* at, uint32_t bits)
{
    for (int i = 0; i < 4; i++)
        at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

uint32_t GetWord(const uint8_t* at)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; i++)
        bits |= static_cast<uint32_t>(at[i]) << (8 * i);
    return bits;
}

void PutFloat(uint8_t* at, float value) { PutWord(at, std::bit_cast<uint32_t>(value)); }
float GetFloat(const uint8_t* at) { return std::bit_cast<float>(GetWord(at)); }
void PutInt(uint8_t* at, int32_t value) { PutWord(at, static_cast<uint32_t>(value)); }
int32_t GetInt(const uint8_t* at) { return static_cast<int32_t>(GetWord(at)); }

void TrackFilePath(char* out, size_t size) { std::snprintf(out, size, "%s/track.bin", SystemFolder); }

}  // namespace

bool SaveTrackTo(const char* path)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(TrackFileSize), 0);
    PutInt(&bytes[0], RingIndex(TrackRing.oldest));
    PutInt(&bytes[4], RingIndex(TrackRing.next));
    for (int k = 0; k < TrackRingSize; k++) {
        uint8_t* record = &bytes[8 + 24 * static_cast<size_t>(k)];
        const TrackPoint& p = TrackRing.points[k];
        PutFloat(record + 0, p.latitude);
        PutFloat(record + 4, p.altitude);
        PutFloat(record + 8, p.longitude);
        PutFloat(record + 12, p.latitude);
        PutFloat(record + 16, p.altitude);
        PutFloat(record + 20, k + 1 < TrackRingSize ? TrackRing.points[k + 1].longitude : 0.0f);
    }
    // A full disk must not cost the track that was saved before.
    return ReplaceFileContents(path, bytes.data(), bytes.size());
}

bool LoadTrackFrom(const char* path)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(TrackFileSize) + 1);
    size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    ClearTrack();
    if (got != static_cast<size_t>(TrackFileSize)) {
        WriteLogF("Track file %s has %s bytes, not %ld: the track starts empty", path,
                  got > static_cast<size_t>(TrackFileSize) ? "too many" : std::to_string(got).c_str(),
                  TrackFileSize);
        return false;
    }
    int32_t oldest = GetInt(&bytes[0]);
    int32_t next = GetInt(&bytes[4]);
    if (oldest < 0 || oldest >= TrackRingSize || next < 0 || next >= TrackRingSize) {
        WriteLogF("Track file %s holds the indices %d and %d outside the track: the track starts empty", path,
                  static_cast<int>(oldest), static_cast<int>(next));
        return false;
    }
    for (int k = 0; k < TrackRingSize; k++) {
        const uint8_t* record = &bytes[8 + 24 * static_cast<size_t>(k)];
        TrackRing.points[k] = {GetFloat(record + 12), GetFloat(record + 8), GetFloat(record + 16)};
    }
    // A point the layer would draw off the earth (or at no number) spoils the file.
    for (int32_t k = oldest; k != next; k = (k + 1) % TrackRingSize) {
        const TrackPoint& p = TrackRing.points[k];
        if (!(std::fabs(p.latitude) <= 90.0f && std::fabs(p.longitude) <= 180.0f && std::isfinite(p.altitude))) {
            WriteLogF("Track file %s holds point %d off the earth: the track starts empty", path, static_cast<int>(k));
            return false;
        }
    }
    TrackRing.oldest = oldest;
    TrackRing.next = next;
    return true;
}

void LoadTrackFile()
{
    char path[600];
    TrackFilePath(path, sizeof path);
    LoadTrackFrom(path);
}

void SaveTrackFile()
{
    char path[600];
    TrackFilePath(path, sizeof path);
    if (!SaveTrackTo(path))
        WriteLogF("Track file %s could not be written", path);
}
