#pragma once
#include "platform/com_types.h"

#include <QString>
#include <QVariant>

// The texts the tool builds from a camera's version block.
namespace versionblock {

// Bytes 0-2: firmware version, unsigned.
QString versionText(const unsigned char *block);   // "2.1.15"
// Bytes 3-4 big-endian year, 5 month, 6 day, unsigned.
QString dateText(const unsigned char *block);      // "2021-07-05"
QString versionLine(const unsigned char *block);   // "Version : 2.1.15"
QString dateLine(const unsigned char *block);      // "Date : 2021-07-05"
// Bytes 40-42: microcontroller version, signed.
QString mcuLine(const unsigned char *block);       // "MCU Version: 1.0.3"

// How reading a camera's block ended.
enum class ReadResult { Read, InitFailed, GetFailed };

// Initialises the camera and reads its block into `block` (43 bytes);
// `length` is the valid byte count when the result is Read.
ReadResult read(IBaseFilter *filter, unsigned char *block, int *length);

// The filter held in a device-list item's data; false when it holds none.
bool filterFromItemData(const QVariant &data, IBaseFilter **filter);

} // namespace versionblock
