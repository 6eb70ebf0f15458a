#pragma once
#include "platform/com_types.h"

// The camera vendor's extension library, as the tool calls it. Each returns
// 0 on success; any other value is a failure.
constexpr int FicVersionBlockSize = 43;
constexpr int FicVersionMinimum = 39;   // version and date present
constexpr int FicVersionWithMcu = 43;   // MCU version present as well

// Returned by the wrappers themselves when a call cannot be passed on
// (no filter, no place for the results).
constexpr long FicInvalidArgument = -1;

long FicDeviceInit(IBaseFilter *filter, unsigned long *context);
// `block` must hold FicVersionBlockSize bytes. On success `*length` is the
// number of valid bytes, always within 0..FicVersionBlockSize.
long FicVersionGet(IBaseFilter *filter, unsigned long context, unsigned char *block, int *length);
long FicUpdateFwUms(IBaseFilter *filter, unsigned long context);
