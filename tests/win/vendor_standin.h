#pragma once
// What the stand-in vendor library built by the tests saw, reached through its export
// "StandInRecorder": its calls in order, as "init <filter>; version <filter> <context> <length>;
// class <Data1>..<last byte>; update <filter> <context>; " (all hex but the length).
struct StandInState {
    char calls[512] = {};
    unsigned long contextToGive = 0xC0FFEE;   // by FicDeviceInit
};
using StandInStateFn = StandInState *(*)();
