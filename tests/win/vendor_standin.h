#pragma once
// What the stand-in vendor library built by the tests records, and the
// statuses it answers with. Reached through its export "StandInRecorder".

struct IBaseFilter;

struct StandInState {
    int deviceInitCalls = 0;
    int versionGetCalls = 0;
    int updateFwUmsCalls = 0;
    // Arguments of the latest call of each function.
    IBaseFilter *deviceInitFilter = nullptr;
    IBaseFilter *versionGetFilter = nullptr;
    IBaseFilter *updateFwUmsFilter = nullptr;
    unsigned long versionGetContext = 0;
    unsigned long updateFwUmsContext = 0;
    int versionGetLengthIn = -1;
    // The context FicDeviceInit hands out, and each function's status.
    unsigned long contextToGive = 0;
    long deviceInitStatus = 0;
    long versionGetStatus = 0;
    long updateFwUmsStatus = 0;
};

using StandInStateFn = StandInState *(*)();
