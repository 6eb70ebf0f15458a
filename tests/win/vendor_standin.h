#pragma once
// What the stand-in vendor library built by the tests saw, reached through its
// export "StandInRecorder": its calls in order, as "init <filter>; version
// <filter> <context> <length>; update <filter> <context>; " (all hex but the length).
struct StandInState {
    char calls[512] = {};
    unsigned long contextToGive = 0xC0FFEE;   // by FicDeviceInit
    long updateFwUmsStatus = 0;
    bool askClass = false;   // FicVersionGet notes "class <Data1>..<last byte>; " too
};
using StandInStateFn = StandInState *(*)();
