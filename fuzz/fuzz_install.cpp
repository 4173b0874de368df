// Bytes as a downloaded archive into the installer: no crash, no hang, a report, and nothing
// written but what it installed, under Skins or Sounds, as plain files and folders; its temporary
// folder gone.

#include "FuzzSupport.h"
#include "core/install/Installer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString base = FuzzSupport::tempPath();
    const QString root = base + QStringLiteral("/root");
    QFile input(base + QStringLiteral("/input"));
    if (!input.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || input.write(FuzzSupport::bytesOf(data, size)) != qint64(size))
        FuzzSupport::fail("cannot write the input", input.errorString());
    input.close();
    QDir(root).removeRecursively();
    // The fuzzer's inputs are small; large outputs would only slow it down.
    UnpackLimits limits;
    limits.entries = 300;
    limits.bytes = 4 << 20;
    limits.ratioFrom = 256 << 10;
    const InstallReport report
        = Installer(Roots({ root }, root), limits).install(input.fileName(), Conflict::KeepBoth);
    if (report.lines.isEmpty())
        FuzzSupport::fail("no report");

    const auto entries = [](const QString& folder) {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    if (entries(base) != QStringList { QStringLiteral("input"), QStringLiteral("root") })
        FuzzSupport::fail("written beside the user's folder", entries(base).join(u' '));
    qsizetype installed = 0;
    for (const QString& kind : entries(root)) {
        if (kind != u"Skins" && kind != u"Sounds")
            FuzzSupport::fail("left in the user's folder", kind);
        installed += entries(root + u'/' + kind).size();
    }
    if (installed != report.installed.size())
        FuzzSupport::fail("installed otherwise than reported", report.lines.join(u'\n'));
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if (entry.isSymLink() || !(entry.isFile() || entry.isDir()))
            FuzzSupport::fail("neither a plain file nor a folder", entry.filePath());
    }
    return 0;
}
