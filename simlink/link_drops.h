// The input the simulator links throw away (datagrams shorter than their
// record, counts past the end, numbers that are not numbers, route files that
// cannot be read) and its log: one line per source and kind, so a peer that
// keeps sending the same bad datagram cannot flood the log.
#pragma once

// Why a datagram, line or file was dropped; None: it was taken.
enum class LinkDrop : int {
    None = 0,
    ShortRecord,       // shorter than the record its type carries
    LengthMismatch,    // its length field is not its size
    CountPastEnd,      // a count of items that do not all fit in it
    NotANumber,        // a field that is not a finite number
    Unterminated,      // a text field without its terminator
    SlotOutsideTable,  // a traffic slot outside 0..399
    TooFewFields,      // a text line that ends before its last field
    FileMissing,       // a route file that cannot be opened
    NotAFile,          // a route path that names a folder or a device
    FileTooLarge,      // a route file larger than any route
    Incomplete,        // a route file that ends inside its route
    UnknownDestination,  // a route whose destination the navigation data lacks
    OffTheEarth,       // a latitude or longitude beyond its range
    UnknownProcedure,  // a runway or procedure name the procedure database lacks
    PlanTooLong,       // plan points past what the flight plan holds
};

// What a kind of drop says in the log ("a datagram shorter than its record").
const char* LinkDropText(LinkDrop kind);

// Writes "<source>: dropped <what>" the first time this source and kind are
// reported in this run (any thread; only with DebugMode on, like every log
// line). source is a string literal naming the link ("X-Plane").
void LogDroppedInput(const char* source, LinkDrop kind);
// Forgets what was logged, so the next drop of each kind is logged again.
void ResetDroppedInputLog();
