// Fuzzes the WM_DEVICECHANGE record decoder and compares every result with
// a second, byte-by-byte reading of the same record.
//
// Input: byte 0 picks the message, byte 1 the event (wParam), the rest is the
// record. The record is copied into a buffer exactly dbch_size bytes long, as
// Windows hands it over, so any read past dbch_size is an overflow that
// AddressSanitizer reports. A dbch_size larger than the bytes given is cut to
// them; an input with no record bytes passes a null record.
#include "platform/win/device_change_decoder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace platform::devicechange;

namespace {

const quint32 kMessages[] = {WmDeviceChange, WmDeviceChange, WmDeviceChange, 0x0000, 0x0218, 0x021A};
// DBT_* events, the handled two first and more often; the rest are ignored.
const quintptr kEvents[] = {DbtDeviceArrival, DbtDeviceRemoveComplete, DbtDeviceArrival,
                            DbtDeviceRemoveComplete, DbtDevnodesChanged, DbtDeviceQueryRemove,
                            0x8002, 0x8003, 0x8005, 0x8006, 0x0017, 0x0018, 0x0019, 0xFFFF};

quint32 dword(const unsigned char *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

[[noreturn]] void mismatch(const char *what)
{
    std::fprintf(stderr, "decoder and second reading differ: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const quint32 message = kMessages[data[0] % (sizeof kMessages / sizeof *kMessages)];
    const quintptr event = data[1] < 0xF0 ? kEvents[data[1] % (sizeof kEvents / sizeof *kEvents)]
                                          : quintptr(0x8000 | data[1]);
    data += 2;
    size -= 2;
    if (size > 4096)
        return 0;

    // The record as Windows would deliver it: dbch_size bytes, no more. The
    // size field itself is always there.
    std::unique_ptr<unsigned char[]> record;
    quint32 recordSize = 0;
    if (size > 0) {
        unsigned char head[4] = {};
        std::memcpy(head, data, size < 4 ? size : 4);
        recordSize = dword(head);
        if (recordSize > size)
            recordSize = quint32(size);
        const size_t allocated = recordSize < 4 ? 4 : recordSize;
        record.reset(new unsigned char[allocated]);
        std::memset(record.get(), 0, allocated);
        std::memcpy(record.get(), data, recordSize < 4 ? (size < 4 ? size : 4) : recordSize);
        // Write the (possibly cut) size back so the decoder trusts the true length.
        for (int i = 0; i < 4; ++i)
            record[i] = static_cast<unsigned char>(recordSize >> (8 * i));
    }

    platform::DeviceEvent decoded;
    decoded.unitMask = 0xDEADBEEF;   // must be left alone when nothing is decoded
    const bool handled = decode(message, event, record.get(), &decoded);

    const bool wanted = message == 0x0219 && (event == 0x8000 || event == 0x8004) && record
        && recordSize >= 12;
    if (handled != wanted)
        mismatch("handled or not");
    if (!handled) {
        if (decoded.unitMask != 0xDEADBEEF)
            mismatch("event written although not handled");
        return 0;
    }
    const unsigned char *r = record.get();
    if ((decoded.type == platform::DeviceEvent::Arrival) != (event == 0x8000))
        mismatch("event type");
    const bool volume = dword(r + 4) == 2 && recordSize >= 18;
    if (decoded.volume != volume)
        mismatch("volume or not");
    if (volume) {
        if (decoded.unitMask != dword(r + 12))
            mismatch("unit mask");
        if (decoded.volumeFlags != quint16(r[16] | r[17] << 8))
            mismatch("volume flags");
        if (decoded.plainVolume() != (r[16] == 0 && r[17] == 0))
            mismatch("plain volume");
    } else if (decoded.unitMask != 0 || decoded.volumeFlags != 0 || decoded.plainVolume()) {
        mismatch("volume fields of a record that is no volume");
    }
    // dbcc_name: UTF-16 units from byte 28 up to the first NUL, whole units
    // inside the record only.
    std::u16string name;
    for (quint32 at = 28; at + 2 <= recordSize; at += 2) {
        const char16_t unit = char16_t(r[at] | r[at + 1] << 8);
        if (unit == 0)
            break;
        name.push_back(unit);
    }
    if (decoded.interfaceName.size() != int(name.size())
        || std::memcmp(decoded.interfaceName.utf16(), name.data(), 2 * name.size()) != 0)
        mismatch("interface name");
    if (!decoded.mountPoint.isEmpty())
        mismatch("mount point from a Windows record");
    return 0;
}
