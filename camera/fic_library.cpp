#include "camera/fic_library.h"
#include "platform/platform.h"

long FicDeviceInit(IBaseFilter *filter, unsigned long *context)
{
    // A null filter would reach the vendor's code as a null COM pointer.
    if (!filter || !context)
        return FicInvalidArgument;
    return platform::current().camera->deviceInit(filter, context);
}

long FicVersionGet(IBaseFilter *filter, unsigned long context, unsigned char *block, int *length)
{
    if (!filter || !block || !length)
        return FicInvalidArgument;
    *length = FicVersionBlockSize;
    const long status = platform::current().camera->versionGet(filter, context, block, length);
    if (status != 0)
        return status;
    // The buffer holds 43 bytes whatever the library claims. A longer claim
    // is cut to the buffer (the fields we read all lie within it); a
    // negative one counts as an empty block.
    if (*length < 0)
        *length = 0;
    else if (*length > FicVersionBlockSize)
        *length = FicVersionBlockSize;
    return 0;
}

long FicUpdateFwUms(IBaseFilter *filter, unsigned long context)
{
    if (!filter)
        return FicInvalidArgument;
    return platform::current().camera->updateFwUms(filter, context);
}
