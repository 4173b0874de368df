// horolan-soundgen: synthesizes the sample sound packs and skin chimes, and checks committed ones.

#include "SamplePacks.h"
#include "core/chimes/SoundPack.h"
#include "ui/audio/SoundDecoder.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>

namespace {

const char usage[] = "usage: horolan-soundgen DATADIR          write DATADIR/Sounds/<pack>/ and\n"
                     "                                         DATADIR/SkinChimes/<skin>/\n"
                     "       horolan-soundgen --check DATADIR  compare with the generator\n";

constexpr int wavHeaderBytes = 44;
// Sine and exp may round differently on another C library: a sample may move by a step or two.
constexpr int sampleTolerance = 2;
constexpr qint64 shortestMs = 1000, longestMs = 3000;

int write(const QString& dataDir)
{
    for (const SamplePack& pack : SamplePacks::all()) {
        QDir folder(dataDir);
        if (!folder.mkpath(pack.folder) || !folder.cd(pack.folder)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(folder.filePath(pack.folder)));
            return 1;
        }
        // Files renamed or dropped since the last run must not linger.
        for (const QString& old : folder.entryList(QDir::Files))
            folder.remove(old);
        qint64 total = 0;
        for (const PackFile& f : pack.files) {
            QFile file(folder.filePath(f.name));
            if (!file.open(QIODevice::WriteOnly) || file.write(f.bytes) != f.bytes.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
            total += f.bytes.size();
        }
        std::printf(
            "%s: %d files, %lld bytes\n", qPrintable(pack.folder), int(pack.files.size()), total);
    }
    return 0;
}

// Why the committed sound differs from the generated one, or empty.
QString soundDifference(const QByteArray& committed, const QByteArray& made)
{
    if (committed.size() != made.size())
        return QStringLiteral("%1 bytes, the generator makes %2")
            .arg(committed.size())
            .arg(made.size());
    if (committed.left(wavHeaderBytes) != made.left(wavHeaderBytes))
        return QStringLiteral("the header differs");
    for (qsizetype at = wavHeaderBytes; at + 1 < made.size(); at += 2) {
        const int a = qFromLittleEndian<qint16>(committed.constData() + at);
        const int b = qFromLittleEndian<qint16>(made.constData() + at);
        if (std::abs(a - b) > sampleTolerance)
            return QStringLiteral("sample %1 is %2, the generator makes %3")
                .arg((at - wavHeaderBytes) / 2)
                .arg(a)
                .arg(b);
    }
    return {};
}

int check(const QString& dataDir)
{
    int faults = 0;
    const auto fault = [&faults](const QString& where, const QString& what) {
        std::printf("%s: FAULT: %s\n", qPrintable(where), qPrintable(what));
        ++faults;
    };
    qint64 allBytes = 0;
    for (const SamplePack& pack : SamplePacks::all()) {
        const QDir folder(QDir(dataDir).filePath(pack.folder));
        QSet<QString> expected;
        for (const PackFile& f : pack.files)
            expected.insert(f.name);
        const QStringList present = folder.entryList(QDir::Files, QDir::Name);
        if (QSet<QString>(present.begin(), present.end()) != expected) {
            QStringList wanted = expected.values();
            wanted.sort();
            fault(pack.folder,
                QStringLiteral("files %1, the generator writes %2")
                    .arg(present.join(u' '), wanted.join(u' ')));
            continue;
        }
        qint64 bytes = 0, shortest = longestMs, longest = 0;
        for (const PackFile& f : pack.files) {
            QFile file(folder.filePath(f.name));
            const QByteArray committed
                = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            bytes += committed.size();
            const QString where = pack.folder + u'/' + f.name;
            if (!f.name.endsWith(QStringLiteral(".wav"))) {
                if (committed != f.bytes)
                    fault(where, QStringLiteral("not what the generator writes"));
                continue;
            }
            if (const QString why = soundDifference(committed, f.bytes); !why.isEmpty())
                fault(where, why);
            // The clock's own reader takes it, and it is a chime's length.
            QString whyNot;
            const std::optional<DecodedSound> info = DecodedSound::decodeData(committed, &whyNot);
            if (!info) {
                fault(where, QStringLiteral("refused: ") + whyNot);
                continue;
            }
            if (info->durationMs() < shortestMs || info->durationMs() > longestMs)
                fault(where, QStringLiteral("lasts %1 ms").arg(info->durationMs()));
            shortest = std::min(shortest, info->durationMs());
            longest = std::max(longest, info->durationMs());
        }
        if (!pack.type.isEmpty()) {
            // The description as the clock reads it.
            SoundPackInfo info;
            SoundPackReport report;
            SoundPack::readFile(folder.filePath(QStringLiteral("SP.ini")), info, &report);
            if (!report.found || report.stopLine != 0)
                fault(pack.folder, QStringLiteral("SP.ini stops at line %1").arg(report.stopLine));
            if (info.type != pack.type)
                fault(pack.folder, QStringLiteral("SP.ini gives the type \"%1\"").arg(info.type));
            const QString unavailable = QStringLiteral("unavailable");
            if (info.copyright == unavailable || info.collector == unavailable
                || info.email == unavailable || info.comment == unavailable)
                fault(pack.folder, QStringLiteral("the info section of SP.ini is incomplete"));
            for (int hour = 0; pack.type == u"o" && hour <= 12; ++hour)
                if (!expected.contains(QStringLiteral("Chime%1.wav").arg(hour)))
                    fault(pack.folder, QStringLiteral("no Chime%1.wav").arg(hour));
        }
        allBytes += bytes;
        std::printf("%s: %d files, %lld bytes, sounds of %lld to %lld ms\n",
            qPrintable(pack.folder), int(pack.files.size()), bytes, shortest, longest);
    }
    std::printf("%lld bytes in all, %d fault(s)\n", allBytes, faults);
    return faults;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && argv[1][0] != '-')
        return write(QString::fromLocal8Bit(argv[1]));
    if (argc == 3 && QByteArray(argv[1]) == "--check")
        return check(QString::fromLocal8Bit(argv[2])) == 0 ? 0 : 1;
    std::fputs(usage, stderr);
    return 2;
}
