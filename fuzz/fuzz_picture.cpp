// Any bytes as a picture file: the loader refuses or decodes, never crashes, and what it gives
// keeps to its caps and formats.

#include "FuzzSupport.h"

#include "core/files/PictureLoader.h"

#include <QFile>

#include <sanitizer/allocator_interface.h>

#include <cstring>

namespace {

// While a picture loads, every new allocation is filled with this byte. Two loads with different
// bytes must give the same picture: a pixel that differs was never written by the decoder.
int g_fill = -1;

void fillNew(const volatile void* pointer, std::size_t size)
{
    if (g_fill >= 0 && pointer)
        std::memset(const_cast<void*>(pointer), g_fill, size);
}

void noFree(const volatile void*)
{ }

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
    __sanitizer_install_malloc_and_free_hooks(fillNew, noFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One file for every input: the loader keeps nothing between loads.
    static const QString path = FuzzSupport::tempPath() + QStringLiteral("/picture");
    const QByteArray bytes = FuzzSupport::bytesOf(data, size);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        FuzzSupport::fail("cannot write the picture file", path);
    file.close();

    const QImage image = loadFilled(path, 0x00);
    const QImage again = loadFilled(path, 0xa5);
    // Qt 6.4's GIF decoder can still leave pixels of a malformed GIF unwritten (colour indices past
    // a short local table); the loader refuses the cases it can recognise, the rest is Qt's.
    const bool gif = bytes.startsWith("GIF8");
    if (image.isNull() != again.isNull() || (!gif && image != again))
        FuzzSupport::fail("the picture depends on memory the decoder never wrote");
    if (image.isNull())
        return 0;
    if (PictureLoader::formatOf(bytes.left(8)).isEmpty())
        FuzzSupport::fail("decoded a file of no allowed format");
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        FuzzSupport::fail("picture in an unexpected format", QString::number(image.format()));
    if (image.sizeInBytes() > qsizetype(PictureLoader::maxDecodedMiB) << 20)
        FuzzSupport::fail("picture larger than the decoded cap",
            QStringLiteral("%1 x %2").arg(image.width()).arg(image.height()));
    // Every pixel is read: a decoder that reported more than it filled shows up here, and an
    // opaque picture must say so in every pixel.
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (image.format() == QImage::Format_RGB32 && qAlpha(line[x]) != 255)
                FuzzSupport::fail("an opaque picture with a transparent pixel");
    }
    return 0;
}
