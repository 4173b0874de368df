// The process the durability test kills. Modes:
//   save <settings file> <progress file>  saves the two value sets in turn, as fast as it can
//   interrupted <settings file>           leaves what a save killed before its rename leaves
#include "DurabilitySupport.h"

#include <QCoreApplication>
#include <QLockFile>

#include <cstdio>

#include <unistd.h>

using namespace Durability;

namespace {

int saveLoop(const QString& path, Progress& progress)
{
    const FixedClock clock;
    SettingsStore store(path, clock);
    HorolanState state;
    Window window;
    Settings::LoadInfo(store, state, window);
    progress.ready = 1;
    // Save n writes set n % 2: the file starts with set 0, so the first save is a change.
    for (std::uint32_t n = 1;; ++n) {
        applySet(int(n % 2), state, window);
        progress.started = n;
        Settings::SaveInfo(store, state, window);
        if (store.hasUnsavedChanges())
            ++progress.failed;
        progress.completed = n;
    }
}

// A stale lock and a named new file, as a save killed between linking and renaming leaves them.
int interrupted(const QString& path)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.lock())
        return 2;
    QFile temp(path + QStringLiteral(".AbCdEf"));
    if (!temp.open(QIODevice::WriteOnly) || temp.write("[Setting]\nSpeed=1\n") < 0)
        return 2;
    temp.close();
    std::fflush(nullptr);
    ::_exit(0); // no destructors: the lock stays
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "interrupted" && argc == 3)
        return interrupted(QString::fromLocal8Bit(argv[2]));
    if (mode != "save" || argc != 4)
        return 2;
    QFile progressFile(QString::fromLocal8Bit(argv[3]));
    Progress* progress = mapProgress(progressFile);
    return progress ? saveLoop(QString::fromLocal8Bit(argv[2]), *progress) : 2;
}
