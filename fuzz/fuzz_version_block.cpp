// Fuzzes the reading of a camera's version block through the vendor library
// wrapper and the texts built from it, against a second reading done here
// with printf.
//
// Input: bytes 0-3 the length the library answers (little-endian, any int:
// negative, 0..43, above 43), byte 4 its status (odd: a failure), the rest
// the bytes it writes into the 43-byte buffer (at most 43 are taken; the
// buffer is zeroed first, as the window does).
#include "camera/fic_library.h"
#include "camera/version_block.h"
#include "platform/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class FuzzedLibrary : public platform::CameraLibrary {
public:
    int answeredLength = 0;
    long status = 0;
    const uint8_t *bytes = nullptr;
    size_t count = 0;

    long deviceInit(IBaseFilter *, unsigned long *context) override
    {
        *context = 7;
        return 0;
    }
    long versionGet(IBaseFilter *, unsigned long context, unsigned char *block,
                    int *length) override
    {
        if (context != 7 || *length != FicVersionBlockSize)
            return 99;   // the wrapper must pass the context and 43 on entry
        std::memcpy(block, bytes, count);
        *length = answeredLength;
        return status;
    }
    long updateFwUms(IBaseFilter *, unsigned long) override { return 0; }
};

FuzzedLibrary g_library;

struct Installed {
    Installed()
    {
        platform::Platform p;
        p.camera = &g_library;
        platform::install(p);
    }
} g_installed;

void expectEqual(const QString &got, const char *expected, const char *what)
{
    if (got == QString::fromLatin1(expected))
        return;
    std::fprintf(stderr, "%s: got \"%s\", expected \"%s\"\n", what, got.toLatin1().constData(),
                 expected);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    int32_t answered;
    std::memcpy(&answered, data, 4);   // the fuzzer runs on little-endian hosts
    g_library.answeredLength = answered;
    g_library.status = (data[4] & 1) ? long(data[4]) : 0;
    g_library.bytes = data + 5;
    g_library.count = size - 5 < 43 ? size - 5 : 43;

    unsigned char block[FicVersionBlockSize] = {};
    int length = -12345;
    auto *filter = reinterpret_cast<IBaseFilter *>(quintptr(0x1000));
    const versionblock::ReadResult result = versionblock::read(filter, block, &length);

    if (g_library.status != 0) {
        if (result != versionblock::ReadResult::GetFailed)
            std::abort();
        return 0;
    }
    if (result != versionblock::ReadResult::Read)
        std::abort();
    const int expectedLength = answered < 0 ? 0 : answered > 43 ? 43 : answered;
    if (length != expectedLength) {
        std::fprintf(stderr, "length %d for an answer of %d\n", length, int(answered));
        std::abort();
    }

    // The texts are built only from a block of at least 39 (MCU: 43) bytes;
    // build them for every block anyway: they read fixed offsets of the buffer.
    unsigned char b[43] = {};
    std::memcpy(b, data + 5, g_library.count);
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u", b[0], b[1], b[2]);
    expectEqual(versionblock::versionText(block), text, "version text");
    char line[80];
    std::snprintf(line, sizeof line, "Version : %s", text);
    expectEqual(versionblock::versionLine(block), line, "version line");
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", b[3] * 256u + b[4], b[5], b[6]);
    expectEqual(versionblock::dateText(block), text, "date text");
    std::snprintf(line, sizeof line, "Date : %s", text);
    expectEqual(versionblock::dateLine(block), line, "date line");
    std::snprintf(line, sizeof line, "MCU Version: %d.%d.%d", int(int8_t(b[40])),
                  int(int8_t(b[41])), int(int8_t(b[42])));
    expectEqual(versionblock::mcuLine(block), line, "MCU line");
    return 0;
}
