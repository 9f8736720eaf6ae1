// Windows code page 1252 <-> UTF-8: texts inside the system are code page 1252
// bytes and become UTF-8 only where they leave it (window titles, dialogs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The Unicode code point of one code page 1252 byte (the five bytes the code
// page leaves undefined keep their C1 code points, as Windows maps them).
uint32_t Cp1252ToCodePoint(unsigned char byte);
// The code page 1252 byte of a code point, or -1 when the code page lacks it.
int CodePointToCp1252(uint32_t codePoint);
// Converts text into out (size bytes, always NUL-terminated when size > 0),
// cutting at a whole character; returns the bytes written without the NUL.
size_t Cp1252ToUtf8(const char* text, char* out, size_t size);
// UTF-8 to code page 1252; characters the code page lacks and malformed
// sequences become '?'. Same cutting and result as Cp1252ToUtf8.
size_t Utf8ToCp1252(const char* text, char* out, size_t size);
// The same over whole strings; the text ends at its first NUL.
std::string ToUtf8(const std::string& cp1252);
std::string FromUtf8(const std::string& utf8);
// Decodes one UTF-8 character at text; returns its length in bytes (0 at the
// end of text) and the code point, 0xFFFD for a malformed byte (length 1).
size_t DecodeUtf8(const char* text, uint32_t* codePoint);
