// The network layer of the map tiles: Winsock start and stop and the
// network-up flag, a small HTTP/1.0 client over a TCP socket for texts, the
// HTTP(S) downloads of tiles and terrain tiles into files, and the look-up of
// a tile in the local chart-tile stores that stands in for a download offline.
#pragma once

#include <cstddef>
#include <cstdint>

// Download results.
constexpr int DownloadDone = 0;
constexpr int DownloadFailed = -1;
constexpr int DownloadErrorPage = -999;
// Connections are kept per server number 0..7.
constexpr int DownloadServerCount = 8;

// WSAStartup for version 2.2; 0 and the network-up flag set, or -1.
int StartWinsock();
// WSACleanup; clears the network-up flag.
void StopWinsock();
// Read by the download threads.
bool IsNetworkUp();

// HTTP/1.0 GET of path on host, port 80; the body is appended to out (a text
// of capacity bytes, kept terminated; a longer body is cut). Each wait for
// the server ends after the receive time-out (30 s); the whole request ends
// at the text's deadline (120 s) however the server drips. 0, or -1 when
// nothing usable came (status 300 or more, no header end, a broken transfer,
// a time-out).
int HttpGet(const char* host, const char* path, char* out, size_t capacity);
// The same, ending by deadline (a ProgramClockMs time), so that several
// requests of one start share one limit.
int HttpGetBefore(const char* host, const char* path, char* out, size_t capacity, long deadline);
// The program-clock time by which a text asked for now must have come.
long TextRequestDeadline();
// Appends the Winsock error text of code to text (size bytes).
void AppendWsaErrorText(char* text, size_t size, int code);

// The body of path on host written to filePath (HTTPS, port 443), under tile
// mutex 2. 0, -1, or -999 for an error page (the file is removed; an
// over-zoomed copy of the parent may take its place, then 0).
int DownloadTileToFile(const char* host, const char* requestPath, const char* filePath, int serverNumber);
// The same over plain HTTP (port 80), without the mutex.
int DownloadTileToFileB(const char* host, const char* requestPath, const char* filePath, int serverNumber);
// A terrain tile over plain HTTP with its own session.
int DownloadTerrainToFile(const char* host, const char* requestPath, const char* filePath);
// Closes the sessions and connections of the server numbers.
void CloseInternetHandles();

// Set when a session or connection could not be opened; shown by the frame,
// cleared when the tile loader starts. threads: fetch threads set it.
bool GetNetworkFailureFlag();
void ClearNetworkFailureFlag();

// The tile named by "tilename=z/x/y.ext" in requestPath from the store of a
// chart layer (1..13): 1 with the bytes (malloc, the caller frees), else -1.
int ReadLocalChartTile(const char* requestPath, const char* fileName, uint8_t** data, uint32_t* size, int layer);
// The layer of the last local look-up.
int GetChartLayer();
// The store file and its slot for a layer and tile; false when the layer has
// no store (12, out of range).
bool ChartStoreForTile(int layer, int z, int x, char* fileName, size_t size, int* slot);

// Receive time-out of every download (30000 ms); tests shorten it.
void SetNetworkTimeoutMs(uint32_t milliseconds);
// The longest a whole tile or terrain transfer (30000 ms) and a text request
// (120000 ms) may take; 0 restores the default. Tests shorten them.
void SetDownloadDeadlinesMs(uint32_t tiles, uint32_t texts);
