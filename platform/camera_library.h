#pragma once
#include "platform/com_types.h"

namespace platform {

// The camera vendor's extension library. Every call returns 0 on success.
class CameraLibrary {
public:
    virtual ~CameraLibrary() = default;
    virtual long deviceInit(IBaseFilter *filter, unsigned long *context) = 0;
    // `block` holds 43 bytes; `length` is 43 on entry and the valid count on return.
    virtual long versionGet(IBaseFilter *filter, unsigned long context,
                            unsigned char *block, int *length) = 0;
    virtual long updateFwUms(IBaseFilter *filter, unsigned long context) = 0;
};

} // namespace platform
