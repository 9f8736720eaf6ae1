// Windows code page 1252 <-> UTF-8 conversion.
#include "platform/codepage.h"

#include <cstring>

// Code points of the bytes 0x80 to 0x9F; the rest of the code page equals
// Latin-1. 0x81, 0x8D, 0x8F, 0x90 and 0x9D are undefined and keep their value.
static const uint16_t HighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t Cp1252ToCodePoint(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return HighControlRange[byte - 0x80];
    return byte;
}

int CodePointToCp1252(uint32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<int>(codePoint);
    for (int i = 0; i < 32; ++i) {
        if (HighControlRange[i] == codePoint)
            return 0x80 + i;
    }
    return -1;
}

static size_t EncodeUtf8(uint32_t cp, char* out)
{
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
}

size_t Cp1252ToUtf8(const char* text, char* out, size_t size)
{
    if (size == 0)
        return 0;
    size_t n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p && *p; ++p) {
        char encoded[4];
        size_t len = EncodeUtf8(Cp1252ToCodePoint(*p), encoded);
        if (n + len >= size)
            break;
        for (size_t i = 0; i < len; ++i)
            out[n++] = encoded[i];
    }
    out[n] = '\0';
    return n;
}

size_t DecodeUtf8(const char* text, uint32_t* codePoint)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (!p || p[0] == 0) {
        *codePoint = 0;
        return 0;
    }
    size_t len = p[0] < 0x80 ? 1 : (p[0] & 0xE0) == 0xC0 ? 2 : (p[0] & 0xF0) == 0xE0 ? 3 : (p[0] & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 1) {
        *codePoint = p[0];
        return 1;
    }
    uint32_t cp = len == 2 ? (p[0] & 0x1Fu) : len == 3 ? (p[0] & 0x0Fu) : (p[0] & 0x07u);
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            len = 0;
            break;
        }
        cp = (cp << 6) | (p[i] & 0x3Fu);
    }
    static const uint32_t Smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (len == 0 || cp < Smallest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        *codePoint = 0xFFFD;
        return 1;
    }
    *codePoint = cp;
    return len;
}

size_t Utf8ToCp1252(const char* text, char* out, size_t size)
{
    if (size == 0)
        return 0;
    size_t n = 0;
    uint32_t cp = 0;
    for (size_t len; n + 1 < size && (len = DecodeUtf8(text, &cp)) != 0; text += len) {
        int byte = CodePointToCp1252(cp);
        out[n++] = static_cast<char>(byte < 0 ? '?' : byte);
    }
    out[n] = '\0';
    return n;
}

std::string ToUtf8(const std::string& cp1252)
{
    std::string out(cp1252.size() * 3 + 1, '\0');
    Cp1252ToUtf8(cp1252.c_str(), out.data(), out.size());
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string FromUtf8(const std::string& utf8)
{
    std::string out(utf8.size() + 1, '\0');
    Utf8ToCp1252(utf8.c_str(), out.data(), out.size());
    out.resize(std::strlen(out.c_str()));
    return out;
}
