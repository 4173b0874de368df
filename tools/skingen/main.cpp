// horolan-skingen: writes the sample skins, previews them as the clock shows them, checks them.

#include "Preview.h"
#include "SampleSkins.h"
#include "SkinCheck.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

const char usage[]
    = "usage: horolan-skingen OUTDIR            write the sample skins into OUTDIR/<skin>/\n"
      "       horolan-skingen --preview SKINSDIR PREVIEWDIR\n"
      "                                         draw each skin at 10:10:30 into PNGs\n"
      "       horolan-skingen --check SKINSDIR  compare with the generator, check outlines\n";

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
    if (args.size() == 2 && args[0] == u"--check")
        return SkinCheck::run(args[1]) == 0 ? 0 : 1;
    std::fputs(usage, stderr);
    return 2;
}
