// libFuzzer target for the track file "track.bin": whatever the bytes, the
// reader either refuses the file and leaves the track empty, or leaves a
// ring whose indices lie inside it and whose points in use are positions on
// the earth with finite altitudes, which the writer writes back as it read.
#include "app/track_ring.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>
#include <string>

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = fuzz::ScratchPath("track.bin");
    static const std::string again = fuzz::ScratchPath("track-again.bin");
    // A first byte with its low bit set stands for a file of the right size
    // made of the rest repeated, so the records are read at all.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size >= 2 && (data[0] & 1) != 0)
        bytes = fuzz::RepeatTo(bytes.substr(1), static_cast<size_t>(TrackFileSize));
    fuzz::WriteBytes(path, bytes);
    TrackRing.oldest = 5;
    TrackRing.next = 9;
    if (!LoadTrackFrom(path.c_str())) {
        Check(TrackPointCount() == 0);
        return 0;
    }
    Check(TrackRing.oldest >= 0 && TrackRing.oldest < TrackRingSize);
    Check(TrackRing.next >= 0 && TrackRing.next < TrackRingSize);
    int n = TrackPointCount();
    for (int k = 0; k < n; ++k) {
        const TrackPoint& p = TrackRing.points[(TrackRing.oldest + k) % TrackRingSize];
        Check(std::fabs(p.latitude) <= 90 && std::fabs(p.longitude) <= 180 && std::isfinite(p.altitude));
    }
    static TrackRingBuffer before;
    before = TrackRing;
    Check(SaveTrackTo(again.c_str()) && LoadTrackFrom(again.c_str()));
    Check(TrackRing.oldest == before.oldest && TrackRing.next == before.next);
    for (int k = 0; k < n; ++k) {
        int i = (before.oldest + k) % TrackRingSize;
        Check(std::memcmp(&TrackRing.points[i], &before.points[i], sizeof(TrackPoint)) == 0);
    }
    return 0;
}
