// libFuzzer entry point of the readers of a project's own files: an asset
// pack ("BFPK" blob) and an lv_conf.h. An input whose first byte is even is
// read as a pack: reading never fails, a pack whose index holds together
// gives every entry's bytes inside the blob, and each entry reads as a .bin
// or fails with a reason. Any other input is read as lv_conf.h: it is
// either refused with a reason or every name it defines has an answer. The
// same bytes read the same way twice. The sanitizers catch every read past
// the input.

#include "fuzzharness.h"

#include <lvconf.h>
#include <lvgldecoder.h>
#include <packreader.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "\n%s\n", what);
    std::abort();
}

void readPackBytes(const QByteArray &bytes)
{
    const Convert::PackInfo info = Convert::readPack(bytes);
    if (info.consistent() != Convert::readPack(bytes).consistent())
        broken("the same pack read two ways");
    for (const Convert::PackInfo::Entry &entry : info.entries) {
        const QByteArray data = Convert::packEntryBytes(bytes, entry);
        if (data.isEmpty()) {
            if (info.consistent())
                broken("a consistent pack has an entry outside it");
            continue;
        }
        if (qint64(entry.offset) + data.size() > bytes.size())
            broken("an entry's bytes reach past the blob");
        const Convert::LvglDecodeResult decoded =
            Convert::decodeLvglBinary(data, Convert::DeviceSettings());
        if (!decoded.ok() && decoded.error.isEmpty())
            broken("an entry failed without a reason");
    }
}

void readConf(const QByteArray &bytes)
{
    Convert::LvConf conf;
    if (!conf.read(bytes, QStringLiteral("lv_conf.h"))) {
        if (conf.errorString().isEmpty())
            broken("a refused lv_conf.h gave no reason");
        return;
    }
    for (const QByteArray &name : conf.names()) {
        if (!conf.isDefined(name))
            broken("a name the file defines is not defined");
        qint64 value = 0;
        QRgb colour = 0;
        conf.value(name, &value);
        conf.colour(name, &colour);
    }
    conf.notes();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static FuzzHarness::ScopedMessageFilter filter;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, int(size - 1));
    if (data[0] % 2 == 0)
        readPackBytes(bytes);
    else
        readConf(bytes);
    return 0;
}
