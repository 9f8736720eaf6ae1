// The code page 1252 to UTF-16 conversion of the Win32 interface. Every
// character of the code page lies in the basic plane, so one byte is one unit.
#include "platform/wide_text.h"

#include "platform/codepage.h"

#include <cstring>

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR out, int size)
{
    if (codePage != CP_ACP || !text || size < 0 || (size > 0 && !out))
        return 0;
    size_t n = length < 0 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    if (size == 0)
        return static_cast<int>(n);
    if (n > static_cast<size_t>(size))
        return 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < n; i++)
        out[i] = static_cast<WCHAR>(Cp1252ToCodePoint(bytes[i]));
    return static_cast<int>(n);
}
