#pragma once
// A stand-in video capture source: a COM server of minimal IBaseFilter objects that count their own
// references (export "FilterStandInRecorder"), for every class {0573A1E0-7E4B-4F6A-9C41-5A6D1E0B00nn},
// nn the object's device number. Never freed, an object counts a release too many instead.
#include <numeric>
#include <windows.h>

constexpr GUID standInClass(unsigned char device)
{
    return {0x0573A1E0, 0x7E4B, 0x4F6A, {0x9C, 0x41, 0x5A, 0x6D, 0x1E, 0x0B, 0x00, device}};
}

struct FilterStandInState {
    static constexpr int Room = 64;
    int created = 0;           // objects made, in order
    int device[Room] = {};     // each object's device number
    long references[Room] = {};
    int releasesTooMany = 0;   // Release on an object already at 0
    long outstanding() const { return std::accumulate(references, references + created, 0L); }
};
using FilterStandInStateFn = FilterStandInState *(*)();
