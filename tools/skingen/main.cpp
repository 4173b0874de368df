// horolan-skingen: writes the sample skins, previews them as the clock shows them, checks them.

#include "Preview.h"
#include "SampleSkins.h"
#include "SkinCheck.h"
#include "core/face/ClockIcon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const char usage[]
    = "usage: horolan-skingen OUTDIR            write the sample skins into OUTDIR/<skin>/\n"
      "       horolan-skingen --preview SKINSDIR PREVIEWDIR\n"
      "                                         draw each skin at 10:10:30 into PNGs\n"
      "       horolan-skingen --check SKINSDIR  compare with the generator, check outlines\n"
      "       horolan-skingen --icons DIR NAME   the program's icon as DIR/<size>/apps/NAME.png\n"
      "                                         and DIR/scalable/apps/NAME.svg\n";

int write(const QString& outDir)
{
    for (const SampleSkin& skin : SampleSkins::all()) {
        QDir folder(outDir);
        if (!folder.mkpath(skin.folder) || !folder.cd(skin.folder)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(folder.filePath(skin.folder)));
            return 1;
        }
        // Pictures renamed or dropped since the last run must not linger.
        for (const QString& old : folder.entryList(QDir::Files))
            folder.remove(old);
        qint64 total = 0;
        for (const SkinFile& f : skin.files) {
            QFile file(folder.filePath(f.name));
            if (!file.open(QIODevice::WriteOnly) || file.write(f.bytes) != f.bytes.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
            total += f.bytes.size();
        }
        std::printf(
            "%s: %d files, %lld bytes\n", qPrintable(skin.folder), int(skin.files.size()), total);
    }
    return 0;
}

// The icon theme's layout of the desktop (hicolor).
int writeIcons(const QString& outDir, const QString& name)
{
    const auto write = [&](const QString& size, const QString& file, const QByteArray& bytes) {
        QDir dir(outDir);
        QFile out(dir.filePath(size + u"/apps/"_s + file));
        if (dir.mkpath(size + u"/apps"_s) && out.open(QIODevice::WriteOnly)
            && out.write(bytes) == bytes.size())
            return true;
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
        return false;
    };
    bool ok = write(u"scalable"_s, name + u".svg"_s, ClockIcon::svg());
    for (const int px : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ClockIcon::draw(px).save(&buffer, "PNG");
        ok = write(u"%1x%1"_s.arg(px), name + u".png"_s, png) && ok;
    }
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Fonts and painting only: no screen needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && !args[0].startsWith(u'-'))
        return write(args[0]);
    if (args.size() == 3 && args[0] == u"--preview")
        return Preview::run(args[1], args[2]) == 0 ? 0 : 1;
    if (args.size() == 3 && args[0] == u"--icons")
        return writeIcons(args[1], args[2]);
    if (args.size() == 2 && args[0] == u"--check")
        return SkinCheck::run(args[1]) == 0 ? 0 : 1;
    std::fputs(usage, stderr);
    return 2;
}
