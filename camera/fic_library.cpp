#include "camera/fic_library.h"
#include "platform/platform.h"

long FicDeviceInit(IBaseFilter *filter, unsigned long *context)
{
    return platform::current().camera->deviceInit(filter, context);
}

long FicVersionGet(IBaseFilter *filter, unsigned long context, unsigned char *block, int *length)
{
    return platform::current().camera->versionGet(filter, context, block, length);
}

long FicUpdateFwUms(IBaseFilter *filter, unsigned long context)
{
    return platform::current().camera->updateFwUms(filter, context);
}
