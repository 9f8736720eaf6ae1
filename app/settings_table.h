// The one table of settings keys: section, key, kind, field, default text and
// clamp of every key, in reading order, and the reader and writer that run
// over it, so that a key is always read and written under the same name.
#pragma once

#include <cstddef>
#include <cstdint>

// How a key's text becomes a field value and back.
enum class SettingKind : uint8_t {
    Int,           // leading decimal integer ("%d")
    Real,          // leading decimal number ("%f")
    Float,         // "%f"; a text that does not scan keeps the field
    Double,        // "%lf"; a text that does not scan keeps the field
    Colour,        // "%x", alpha forced to 0xFF; a text that does not scan keeps the field
    FlagOne,       // 1 only for the integer 1
    FlagNonZero,   // 1 for any integer but 0
    FlagPositive,  // 1 for an integer above 0
    Text,          // copied as it stands
    AlphaByte,     // 0..255 ("%d") kept shifted into the alpha byte
};

// Where the field lives.
enum class FieldStorage : uint8_t { I32, AtomicI32, U8, AtomicU8, AtomicBool, F32, F64, U32, Chars, SharedChars };

struct SettingField {
    void* address;
    FieldStorage storage;
    uint16_t size;  // bytes of a text field
};

// What the text "None" means for a key (compared exactly, before converting).
enum class NoneRule : uint8_t { Convert, KeepField, SetValue, SetEmpty };

// Rules beyond kind and clamp.
enum class SettingRule : uint8_t {
    None,
    StartsOff,          // read, but the field starts off whatever the text
    LanguageCode,       // taken only when its first character is a letter
    RootRelativePath,   // a relative path is read below ProgramRoot and written back relative
    AirspaceFilter,     // letters of "ABCDEFGR" present; written with '_' for blanks
    LoopbackWhenEmpty,  // an address; empty gives "127.0.0.1", an overlong one is refused
    EmptyWhenTileMap,   // written empty while no local map is selected
    ConstantJpg,        // written as "jpg" whatever it holds
    OnWithMapQuestKey,  // a flag set only by a 1 while a MapQuest key was accepted; never cleared by a read
};

enum class SettingFile : uint8_t { Ini, SimConnectCfg };

struct SettingKey {
    const char* section;
    const char* key;  // a "%d" key stands for count keys (key0, key1, ...)
    SettingKind kind;
    SettingField field;
    const char* defaultText;  // nullptr: ProgramRoot
    uint16_t readLimit;       // characters; 0 = 511 (or the text field's size - 1)
    bool clamped;
    double low, high;              // a value below low becomes belowValue,
    double belowValue, aboveValue; // above high becomes aboveValue
    NoneRule none;
    double noneValue;
    SettingRule rule;
    bool written;  // false: read only, the user's text stays in the file
    uint8_t count; // entries of an indexed key (1 for a plain key)
    SettingFile file;
};

const SettingKey* GetSettingKeys(size_t* count);
// The row of a key (section compared case-insensitively); nullptr when none.
const SettingKey* FindSettingKey(const char* section, const char* key);

// Reads the rows from the first row named first to the first row named last,
// both included, in table order, from iniPath. Returns the rows read (0 when
// a name is not in the table).
int ReadSettingRange(const char* first, const char* last, const char* iniPath);
// Reads one row; false when the key is not in the table.
bool ReadSettingKey(const char* section, const char* key, const char* iniPath);
// Reads every row of a section.
int ReadSettingSection(const char* section, const char* path);

// Converts text into the row's field with its kind, clamp, "None" rule and
// rule (entry = index of an indexed key). Logs a value it had to mend.
void ApplySettingText(const SettingKey& row, int entry, const char* text);
// Formats the row's field (entry of an indexed key) as the writer stores it.
void FormatSettingValue(const SettingKey& row, int entry, char* out, size_t size);
// Writes every written row into iniPath through the profile API.
void WriteSettingKeys(const char* iniPath);
// Writes the written plain rows of one section, in table order.
void WriteSettingSection(const char* section, const char* iniPath);

// The settings file with every key at its default text (rows whose default is
// ProgramRoot left out), as the shipped Plovik.ini; returns the length or -1
// when out is too small.
long FormatDefaultSettingsFile(char* out, size_t size);

// Paths the rules use; set by the reader before the table is read.
void SetSettingsRoot(const char* programRoot);
// Set by the writer's caller: no local map is selected (MapName written empty).
void SetSettingsTileMapMode(bool tileMapMode);
// Set by the reader once it has read the credentials: a MapQuest key was accepted.
void SetSettingsMapQuestKeyAccepted(bool accepted);
