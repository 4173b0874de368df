#include "SkinCheck.h"

#include "SampleSkins.h"
#include "SkinFolder.h"
#include "core/files/Companion.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace SkinCheck {

namespace {

// A colour this close to the key, next to it, reads as a fringe of the key on screen.
constexpr int fringeDistance = 48;

int distance(QRgb a, QRgb b)
{
    return std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
        std::abs(qBlue(a) - qBlue(b)) });
}

// Marks the pixels of one kind (key or not) reachable from the seeds through 4-neighbours.
int flood(
    const QImage& image, QRgb key, bool keyKind, std::vector<char>& seen, std::vector<QPoint> stack)
{
    const int w = image.width(), h = image.height();
    int count = 0;
    while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h)
            continue;
        char& mark = seen[std::size_t(p.y()) * w + p.x()];
        if (mark || ((image.pixel(p) & 0xffffff) == key) != keyKind)
            continue;
        mark = 1;
        ++count;
        stack.insert(stack.end(),
            { p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1) });
    }
    return count;
}

bool isBmp24(const QByteArray& bytes)
{
    return bytes.startsWith("BM") && bytes.size() > 30 && quint8(bytes[28]) == 24 && bytes[29] == 0;
}

// Pixels that differ by more than a little, as text antialiasing may between font builds.
bool closeEnough(const QImage& a, const QImage& b, QRgb key, QString* why)
{
    if (a.size() != b.size()) {
        *why = QStringLiteral("size %1x%2, drawn %3x%4")
                   .arg(a.width())
                   .arg(a.height())
                   .arg(b.width())
                   .arg(b.height());
        return false;
    }
    key &= 0xffffff;
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y) & 0xffffff, pb = b.pixel(x, y) & 0xffffff;
            if ((pa == key) != (pb == key)) {
                *why = QStringLiteral("outline differs at %1,%2").arg(x).arg(y);
                return false;
            }
            differing += distance(pa, pb) > 24;
        }
    }
    if (differing * 200 > qint64(a.width()) * a.height()) {
        *why = QStringLiteral("%1 pixels differ from what the generator draws").arg(differing);
        return false;
    }
    return true;
}

} // namespace

QStringList outlineFaults(const QImage& source, QRgb key)
{
    key &= 0xffffff;
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    QStringList faults;
    std::vector<char> seen(std::size_t(w) * h, 0);
    std::vector<QPoint> border;
    int keys = 0;
    QPoint anyInside(-1, -1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool isKey = (image.pixel(x, y) & 0xffffff) == key;
            keys += isKey;
            if (!isKey && anyInside.x() < 0)
                anyInside = QPoint(x, y);
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                border.push_back(QPoint(x, y));
        }
    }
    if (keys == 0)
        return { QStringLiteral("no pixel has the transparent colour") };
    if (anyInside.x() < 0)
        return { QStringLiteral("every pixel has the transparent colour") };
    const int outside = flood(image, key, true, seen, border);
    if (outside != keys)
        faults << QStringLiteral("%1 key pixels lie inside the shape").arg(keys - outside);
    std::fill(seen.begin(), seen.end(), 0);
    if (flood(image, key, false, seen, { anyInside }) != w * h - keys)
        faults << QStringLiteral("the shape is in several pieces");

    int fringe = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y) & 0xffffff;
            if (c == key || distance(c, key) > fringeDistance)
                continue;
            bool besideKey = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    besideKey |= image.valid(x + dx, y + dy)
                        && (image.pixel(x + dx, y + dy) & 0xffffff) == key;
            fringe += besideKey;
        }
    }
    if (fringe)
        faults << QStringLiteral("%1 edge pixels are nearly the transparent colour").arg(fringe);
    return faults;
}

int run(const QString& skinsDir)
{
    const QDir skins(skinsDir);
    int faults = 0;
    const auto fault = [&faults](const QString& skin, const QString& what) {
        std::printf("%s: FAULT: %s\n", qPrintable(skin), qPrintable(what));
        ++faults;
    };

    for (const SampleSkin& drawn : SampleSkins::all()) {
        const QString& name = drawn.folder;
        const QDir folder(skins.filePath(name));
        QSet<QString> expected;
        for (const SkinFile& f : drawn.files)
            expected.insert(f.name);
        const QStringList present = folder.entryList(QDir::Files, QDir::Name);
        if (QSet<QString>(present.begin(), present.end()) != expected) {
            QStringList wanted = expected.values();
            wanted.sort();
            fault(name,
                QStringLiteral("files %1, the generator writes %2")
                    .arg(present.join(u' '), wanted.join(u' ')));
            continue;
        }

        // The committed files are the generator's.
        qint64 bytes = 0;
        for (const SkinFile& f : drawn.files) {
            QFile file(folder.filePath(f.name));
            file.open(QIODevice::ReadOnly);
            const QByteArray committed = file.readAll();
            bytes += committed.size();
            if (f.name == u"Skin.ini") {
                if (committed != f.bytes)
                    fault(name, QStringLiteral("Skin.ini is not what the generator writes"));
                if (committed.count('\n') != committed.count("\r\n"))
                    fault(name, QStringLiteral("Skin.ini has lines not ended by CR LF"));
                continue;
            }
            if (f.name.endsWith(QStringLiteral(".BMP"), Qt::CaseInsensitive) && !isBmp24(committed))
                fault(name, f.name + QStringLiteral(" is not a 24-bit BMP"));
            QString why;
            Skin skin;
            SkinFolder::read(folder, skin, nullptr);
            if (!closeEnough(QImage::fromData(committed), QImage::fromData(f.bytes),
                    skin.transparent.rgb(), &why))
                fault(name, f.name + QStringLiteral(": ") + why);
        }

        // The skin as the clock reads it.
        Skin skin;
        SkinReport report;
        SkinFolder::read(folder, skin, &report);
        if (report.stopLine != 0)
            fault(name,
                QStringLiteral("reading stops at line %1: %2")
                    .arg(report.stopLine)
                    .arg(report.stopReason));
        for (const SkinReport::Line& line : report.ignored)
            fault(name, QStringLiteral("line %1 is ignored: %2").arg(line.number).arg(line.reason));
        if (skin.info.name != name || skin.info.madeBy != u"Horolan" || skin.info.email.isEmpty()
            || skin.info.date.isEmpty() || skin.info.comment.isEmpty())
            fault(name, QStringLiteral("the info section is incomplete"));

        const QStringList pictures = SkinFolder::pictureFiles(folder, skin);
        const BackgroundKind kind = skin.tyme ? BackgroundKind::Tyme : skin.background;
        static const char* const kinds[] = { "random", "order", "animated", "tyme" };
        const QString type = QLatin1String(kinds[int(kind)]);
        if (pictures.isEmpty() || (kind == BackgroundKind::Order && pictures.size() != 13))
            fault(name,
                QStringLiteral("%1 pictures for the background type \"%2\"")
                    .arg(pictures.size())
                    .arg(type));
        QSize size;
        for (const QString& file : pictures) {
            const QImage picture = QImageReader(folder.filePath(file)).read();
            if (picture.isNull()) {
                fault(name, file + QStringLiteral(" does not load"));
                continue;
            }
            if (size.isValid() && picture.size() != size)
                fault(name, file + QStringLiteral(" differs in size from the others"));
            size = picture.size();
            for (const QString& what : outlineFaults(picture, skin.transparent.rgb()))
                fault(name, file + QStringLiteral(": ") + what);
            // Every sample is drawn for high-DPI screens too.
            const QString companion = Companion::pathOf(folder.filePath(file));
            const QImage twice = QImageReader(companion).read();
            if (twice.size() != picture.size() * 2)
                fault(name, file + QStringLiteral(" has no @2x companion twice its size"));
            else
                for (const QString& what : outlineFaults(twice, skin.transparent.rgb()))
                    fault(name, companion + QStringLiteral(": ") + what);
        }
        std::printf("%s: %d files, %lld bytes, %d x %d, %s\n", qPrintable(name),
            int(drawn.files.size()), bytes, size.width(), size.height(), qPrintable(type));
    }
    std::printf("%d fault(s)\n", faults);
    return faults;
}

} // namespace SkinCheck
