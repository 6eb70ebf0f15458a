#pragma once
// Types that the tool's logic names after the Windows originals. On Windows
// they are the real ones; elsewhere small stand-ins with the same layout.
// IMoniker and IBaseFilter stay incomplete in the logic: only the capture
// backend that produced a pointer ever looks behind it.

#include <cstdint>

struct IMoniker;
struct IBaseFilter;

#ifdef _WIN32
#include <guiddef.h>
#else
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
#endif
