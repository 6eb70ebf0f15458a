#include "camera/version_block.h"
#include "camera/fic_library.h"

#include <QVariant>

namespace versionblock {

namespace {

QString arg3(const char *templ, long a, int widthA, long b, int widthB, long c, int widthC)
{
    const QChar fill('0');
    return QString::fromLocal8Bit(templ)
        .arg(a, widthA, 10, fill)
        .arg(b, widthB, 10, fill)
        .arg(c, widthC, 10, fill);
}

long year(const unsigned char *block) { return block[3] * 256L + block[4]; }

} // namespace

QString versionText(const unsigned char *block)
{
    return arg3("%1.%2.%3", block[0], 1, block[1], 1, block[2], 1);
}

QString dateText(const unsigned char *block)
{
    return arg3("%1-%2-%3", year(block), 4, block[5], 2, block[6], 2);
}

QString versionLine(const unsigned char *block)
{
    return arg3("Version : %1.%2.%3", block[0], 1, block[1], 1, block[2], 1);
}

QString dateLine(const unsigned char *block)
{
    return arg3("Date : %1-%2-%3", year(block), 4, block[5], 2, block[6], 2);
}

QString mcuLine(const unsigned char *block)
{
    const auto mcu = [block](int i) { return static_cast<long>(static_cast<signed char>(block[i])); };
    return arg3("MCU Version: %1.%2.%3", mcu(40), 1, mcu(41), 1, mcu(42), 1);
}

ReadResult read(IBaseFilter *filter, unsigned char *block, int *length)
{
    unsigned long context = 0;
    if (FicDeviceInit(filter, &context) != 0)
        return ReadResult::InitFailed;
    *length = FicVersionBlockSize;
    if (FicVersionGet(filter, context, block, length) != 0)
        return ReadResult::GetFailed;
    return ReadResult::Read;
}

bool filterFromItemData(const QVariant &data, IBaseFilter **filter)
{
    bool ok = false;
    const qlonglong value = data.toLongLong(&ok);
    if (!ok)
        return false;
    *filter = reinterpret_cast<IBaseFilter *>(static_cast<quintptr>(value));
    return true;
}

} // namespace versionblock
