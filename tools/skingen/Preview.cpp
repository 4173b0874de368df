#include "Preview.h"

#include "SkinFolder.h"
#include "core/face/FacePainter.h"
#include "core/face/TymeLayout.h"
#include "core/shape/TraceShape.h"

#include <QDir>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace Preview {

namespace {

QImage checkered(QSize size)
{
    QImage desk(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            desk.setPixel(x, y, ((x / 8 + y / 8) % 2) ? qRgb(196, 198, 204) : qRgb(150, 154, 162));
    return desk;
}

QImage render(const QImage& picture, const Skin& skin, bool twelveHour, const QDateTime& now)
{
    QImage buffer = picture.convertToFormat(QImage::Format_RGB32);
    QPainter p(&buffer);
    FacePainter face(p);
    face.drawBackground(picture);
    face.drawDigitalTime(skin, twelveHour, now, QLocale::c());
    face.drawHands(skin, now);
    p.end();

    QImage shown = checkered(picture.size());
    QPainter w(&shown);
    w.setClipRegion(TraceShape(picture, skin.transparent.rgb()));
    w.drawImage(0, 0, buffer);
    return shown;
}

struct Variant {
    QString suffix;
    QTime time;
    bool ampm;
};

} // namespace

int run(const QString& skinsDir, const QString& outDir)
{
    QDir out(outDir);
    out.mkpath(QStringLiteral("."));
    int failures = 0;
    const QDir skins(skinsDir);
    for (const QString& name : skins.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir folder(skins.filePath(name));
        Skin skin;
        SkinReport report;
        if (!SkinFolder::read(folder, skin, &report)) {
            std::fprintf(stderr, "%s: no Skin.ini\n", qPrintable(name));
            ++failures;
            continue;
        }
        QList<Variant> variants { { QString(), QTime(10, 10, 30), false } };
        if (skin.digital || skin.tyme)
            variants << Variant { QStringLiteral("-ampm"), QTime(22, 10, 31), true };

        QList<QImage> tiles;
        for (const QString& file : SkinFolder::pictureFiles(folder, skin)) {
            QImageReader reader(folder.filePath(file));
            const QImage picture = reader.read();
            if (picture.isNull()) {
                std::fprintf(stderr, "%s: %s does not load: %s\n", qPrintable(name),
                    qPrintable(file), qPrintable(reader.errorString()));
                ++failures;
                continue;
            }
            for (const Variant& v : variants) {
                Skin shown = skin;
                if (shown.tyme)
                    layOutTyme(shown, picture.width(), v.ampm, digitalTextWidth);
                const QImage tile
                    = render(picture, shown, v.ampm, QDateTime(QDate(2026, 12, 6), v.time));
                tiles << tile;
                tile.scaled(tile.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .save(
                        out.filePath(QStringLiteral("%1-%2%3.png")
                                         .arg(name, QFileInfo(file).completeBaseName(), v.suffix)));
            }
        }
        if (tiles.isEmpty()) {
            std::fprintf(stderr, "%s: no picture to show\n", qPrintable(name));
            ++failures;
            continue;
        }
        // The overview: every tile in rows of up to five.
        const QSize cell = tiles.first().size() + QSize(6, 6);
        const int columns = std::min<int>(5, int(tiles.size()));
        const int rows = int((tiles.size() + columns - 1) / columns);
        QImage sheet(cell.width() * columns, cell.height() * rows, QImage::Format_RGB32);
        sheet.fill(QColor(120, 124, 132));
        QPainter p(&sheet);
        for (int i = 0; i < tiles.size(); ++i)
            p.drawImage(
                3 + (i % columns) * cell.width(), 3 + (i / columns) * cell.height(), tiles[i]);
        p.end();
        sheet.save(out.filePath(name + QStringLiteral(".png")));
        std::printf("%s: %d picture(s) shown%s\n", qPrintable(name),
            int(tiles.size() / variants.size()),
            report.stopLine ? qPrintable(QStringLiteral(", reading stopped at line %1: %2")
                                             .arg(report.stopLine)
                                             .arg(report.stopReason))
                            : "");
    }
    return failures;
}

} // namespace Preview
