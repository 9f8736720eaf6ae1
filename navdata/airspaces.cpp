// The airspace loader: the text read once, the index range of a view, the
// parse of that range, and the hand-over to the layer.
#include "navdata/airspaces.h"

#include "platform/log.h"
#include "app/settings.h"
#include "navdata/nav_file_io.h"
#include "navdata/text_lines.h"
#include "render/snapshot.h"
#include "maps/airport_charts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

AirspaceSelectionState AirspaceSelection{};

namespace {

// Never destroyed: a loader still running at exit ends with the process.
ListLoader<AirspaceRecord>& Loader = *new ListLoader<AirspaceRecord>;
// threads: the loader thread reads it in while it runs; the GUI thread frees
// it only after stopping the loader.
AirspaceText& Text = *new AirspaceText;
bool TextLoaded = false;

// A damaged file would otherwise write a line for each of its airspaces.
constexpr int ProblemLinesPerLoad = 20;

struct ProblemLog {
    const char* path;
    int count = 0;
    void Add(size_t offset, const char* problem)
    {
        if (++count <= ProblemLinesPerLoad)
            WriteLogF("%s at byte %zu: %s; airspace skipped", path, offset, problem);
    }
    ~ProblemLog()
    {
        if (count > ProblemLinesPerLoad)
            WriteLogF("%s: %d more damaged airspaces skipped", path, count - ProblemLinesPerLoad);
    }
};

// Lines of the text from a byte offset on. A line ends at "\n" (a "\r"
// before it is dropped); a last line without one is no line.
class LineReader {
  public:
    LineReader(std::string_view text, size_t position) : text_(text), position_(std::min(position, text.size())) {}

    bool Next(std::string_view* line, size_t* start)
    {
        size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos)
            return false;
        *start = position_;
        *line = text_.substr(position_, end - position_);
        if (!line->empty() && line->back() == '\r')
            line->remove_suffix(1);
        position_ = end + 1;
        return true;
    }
    void Rewind(size_t start) { position_ = start; }
    bool EndsUnterminated() const { return position_ < text_.size(); }
    size_t Position() const { return position_; }

  private:
    std::string_view text_;
    size_t position_;
};

std::string_view TextOf(const AirspaceText& text)
{
    return {reinterpret_cast<const char*>(text.bytes.data()), text.bytes.size()};
}

bool IsNumberStart(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

bool IsClassKept(const char* airspaceClass, const char* filter)
{
    if (std::strcmp(airspaceClass, "CTR") == 0)
        return true;
    return airspaceClass[0] != ' ' && std::strchr(filter, airspaceClass[0]) != nullptr;
}

// Reads the points a header announced; false (nothing consumed after the
// last good point) when they are cut short or unreadable.
bool ReadPoints(LineReader* lines, int count, AirspaceRecord* a, const char** problem)
{
    a->points.reserve(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        std::string_view line;
        size_t start = 0;
        if (!lines->Next(&line, &start)) {
            *problem = "points cut short by the end of the file";
            return false;
        }
        AirspacePoint p;
        if (!ParseAirspacePoint(line, &p)) {
            // Perhaps the next header: it is read again as one.
            lines->Rewind(start);
            *problem = "fewer points than announced, or a point out of range";
            return false;
        }
        a->points.push_back(p);
    }
    return true;
}

struct LoadRequest {
    WholeDegrees view;
    char filter[9];
    char sourcePath[512];
    char commonPath[512];
};

bool RunLoad(const LoadRequest& request, std::vector<AirspaceRecord>* target, const std::atomic<bool>& stop)
{
    // The list the loader fills next keeps no points from its last use.
    std::vector<AirspaceRecord>().swap(*target);
    if (!TextLoaded) {
        TextLoaded = OpenAirspaceFile(request.sourcePath, request.commonPath, &Text);
        if (!TextLoaded) {
            ShowFileNotFound(Text.path);
            return false;
        }
    }
    return LoadAirspacesInView(Text, request.view, request.filter, target, stop);
}

}  // namespace

WholeDegrees UpdateViewDegrees(double latMin, double latMax, double lonMin, double lonMax)
{
    auto low = [](double v) { return static_cast<int>(std::trunc(v <= 0 ? v - 1 : v)); };
    auto high = [](double v) { return static_cast<int>(std::trunc(v + 1)); };
    WholeDegrees d{low(latMin), high(latMax), low(lonMin), high(lonMax)};
    if (d.latHigh == d.latLow)
        d.latHigh = d.latLow + 1;
    if (d.lonHigh == d.lonLow)
        d.lonHigh = d.lonLow + 1;
    return d;
}

bool UpdateAirspaces(double latMin, double latMax, double lonMax, double lonMin)
{
    WholeDegrees view;
    if (!Loader.WantsStart(latMin, latMax, lonMin, lonMax, &view))
        return Loader.IsReady();
    LoadRequest request{};
    request.view = view;
    CopyText(request.filter, sizeof(request.filter), Settings.SelectedAirspace);
    FormatAirspacePaths(request.sourcePath, request.commonPath, sizeof(request.sourcePath), Settings.NavDatabase);
    Loader.Start(view, [request](std::vector<AirspaceRecord>* target, const std::atomic<bool>& stop) {
        return RunLoad(request, target, stop);
    });
    return Loader.IsReady();
}

void RequestAirspaceReload() { Loader.RequestReload(); }
bool TakeNewAirspaceList() { return Loader.TakeNewList(); }
const std::vector<AirspaceRecord>& GetDrawnAirspaces() { return Loader.Drawn(); }
uint64_t GetDrawnAirspacesGeneration() { return Loader.Generation(); }
WholeDegrees GetDrawnAirspaceView() { return Loader.DrawnView(); }
bool IsAirspaceLoaderRunning() { return Loader.IsRunning(); }
void StopAirspaceLoader() { Loader.Stop(); }

void FreeAirspaces()
{
    Loader.Clear();
    Text = AirspaceText{};
    TextLoaded = false;
}

void ClearAirspaceSelection()
{
    AirspaceSelection = {};
    InvalidateSnapshot();
}

void SetAirspaceHighlight(int on, const char* name)
{
    if (on)
        AirspaceSelection.highlight = static_cast<uint8_t>(on);
    else
        AirspaceSelection.highlight = name && std::strcmp(name, AirspaceSelection.name) == 0 ? 1 : 0;
}

void FormatAirspacePaths(char* sourcePath, char* commonPath, size_t size, int navDatabase)
{
    const char* folder = "OpenAIP";
    switch (navDatabase) {
    case 6: folder = "MSFS"; break;
    case 4: folder = "P3D"; break;
    case 3: folder = "FSX"; break;
    case 2: folder = "FS9"; break;
    case 1: folder = "XPL"; break;
    case 5: folder = "FG"; break;
    default: break;
    }
    FormatText(sourcePath, size, "%s/Navdata/%s/Airspace.txt", DataFolder, folder);
    FormatText(commonPath, size, "%s/Navdata/Airspace.txt", DataFolder);
}

bool OpenAirspaceFile(const char* sourcePath, const char* commonPath, AirspaceText* out)
{
    *out = AirspaceText{};
    CopyText(out->path, sizeof(out->path), sourcePath);
    if (!ReadWholeFile(out->path, &out->bytes) || out->bytes.empty()) {
        CopyText(out->path, sizeof(out->path), commonPath);
        if (!ReadWholeFile(out->path, &out->bytes) || out->bytes.empty()) {
            out->bytes.clear();
            CopyText(out->path, sizeof(out->path), sourcePath);
            return false;
        }
    }
    char indexPath[sizeof(out->path)];
    CopyText(indexPath, sizeof(indexPath), out->path);
    size_t length = std::strlen(indexPath);
    if (length >= 4)
        std::strcpy(indexPath + length - 4, ".idx");
    std::vector<uint8_t> index;
    if (!ReadWholeFile(indexPath, &index) || index.size() < sizeof(AirspaceIndexCell)) {
        WriteLogF("Airspace index %s missing: the whole of %s is read", indexPath, out->path);
        return true;
    }
    out->cells = ParseAirspaceIndex(index.data(), index.size());
    out->hasIndex = true;
    if (out->cells.size() < static_cast<size_t>(AirspaceIndexCells) ||
        index.size() % sizeof(AirspaceIndexCell) != 0)
        WriteLogF("Airspace index %s holds %zu whole cells of %d", indexPath, out->cells.size(), AirspaceIndexCells);
    return true;
}

bool ViewMeetsBox(const WholeDegrees& view, double lonMin, double lonMax, double latMin, double latMax)
{
    for (double shift : {0.0, -360.0, 360.0}) {
        double low = view.lonLow + shift, high = view.lonHigh + shift;
        if (high < -180.0 || low > 180.0)
            continue;
        if (BoxesOverlap(lonMin, lonMax, latMin, latMax, view.latLow, view.latHigh, low, high))
            return true;
    }
    return false;
}

void SelectAirspaceRange(const AirspaceText& text, const WholeDegrees& view, size_t* start, size_t* end)
{
    const size_t length = text.bytes.size();
    if (!text.hasIndex) {
        *start = 0;
        *end = length;
        return;
    }
    *start = length;
    *end = 0;
    const std::vector<AirspaceIndexCell>& cells = text.cells;
    auto validOffset = [&](size_t i) { return cells[i].offset >= 0 && static_cast<size_t>(cells[i].offset) <= length; };
    for (size_t i = 0; i < cells.size(); ++i) {
        const AirspaceIndexCell& c = cells[i];
        if (!validOffset(i)) {
            WriteLogF("%s: index cell %zu points past the end of the text; left out", text.path, i);
            continue;
        }
        if (!std::isfinite(c.lonMin) || !std::isfinite(c.lonMax) || !std::isfinite(c.latMin) ||
            !std::isfinite(c.latMax)) {
            WriteLogF("%s: index cell %zu has a box that is not a number; left out", text.path, i);
            continue;
        }
        if (!ViewMeetsBox(view, c.lonMin, c.lonMax, c.latMin, c.latMax))
            continue;
        size_t cellStart = static_cast<size_t>(c.offset);
        // The last cell, and one whose successor cannot say where it ends,
        // runs to the end of the text.
        size_t cellEnd = length;
        if (i + 1 < cells.size() && validOffset(i + 1) && static_cast<size_t>(cells[i + 1].offset) >= cellStart)
            cellEnd = static_cast<size_t>(cells[i + 1].offset);
        *start = std::min(*start, cellStart);
        *end = std::max(*end, cellEnd);
    }
}

bool LoadAirspacesInView(const AirspaceText& text, const WholeDegrees& view, const char* filter,
                         std::vector<AirspaceRecord>* out, const std::atomic<bool>& stop)
{
    size_t start = 0, end = 0;
    SelectAirspaceRange(text, view, &start, &end);
    if (start >= end)
        return !stop.load();
    // An offset inside a line starts at the next whole line.
    std::string_view all = TextOf(text);
    if (start > 0 && all[start - 1] != '\n') {
        size_t next = all.find('\n', start);
        start = next == std::string_view::npos ? all.size() : next + 1;
    }
    ProblemLog problems{text.path};
    LineReader lines(all, start);
    std::string_view line;
    size_t at = 0;
    int sinceCheck = 0;
    while (lines.Next(&line, &at) && at < end) {
        if (++sinceCheck >= 256) {
            sinceCheck = 0;
            if (stop.load())
                return false;
        }
        // Most lines are points of airspaces left out: a line that opens
        // with a number is no header, without looking for one in it.
        if (!line.empty() && IsNumberStart(line.front()))
            continue;
        AirspaceRecord a;
        int count = 0;
        const char* problem = nullptr;
        AirspaceHeader h = ParseAirspaceHeader(line, &a, &count, &problem);
        if (h == AirspaceHeader::NotHeader)
            continue;  // a point of an airspace left out
        if (h == AirspaceHeader::Malformed) {
            problems.Add(at, problem);
            continue;
        }
        if (!IsClassKept(a.airspaceClass, filter) || !ViewMeetsBox(view, a.lonMin, a.lonMax, a.latMin, a.latMax))
            continue;
        if (!ReadPoints(&lines, count, &a, &problem)) {
            problems.Add(at, problem);
            continue;
        }
        out->push_back(std::move(a));
    }
    if (lines.EndsUnterminated() && lines.Position() < end)
        WriteLogF("%s: last line without its line end skipped", text.path);
    return !stop.load();
}
