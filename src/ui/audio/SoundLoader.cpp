#include "ui/audio/SoundLoader.h"

#include "core/base/Logging.h"
#include "core/chimes/SoundOutput.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// Without the library every sound is the desktop's beep, and a stroke lasts a moment.
class BeepOutput final : public SoundOutput {
public:
    void play(const QString& path) override
    {
        if (!path.isEmpty())
            QApplication::beep();
    }
    void playStroke(const QString&) override
    {
        QApplication::beep();
        QTimer::singleShot(250, this, &SoundOutput::strokeEnded);
    }
    void stop() override { }
    void beep() override { QApplication::beep(); }
};

// Empties a folder of earlier versions' padded copies (<40 hex digits>.wav, and a save's
// temporary <that>.<anything>), then removes it if nothing else is left in it.
void removeCopies(const QString& folder)
{
    static const QRegularExpression copy(QStringLiteral("^[0-9a-f]{40}\\.wav(\\..+)?$"));
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (copy.match(name).hasMatch())
            dir.remove(name);
    if (QDir().rmdir(folder))
        qCDebug(lcSound) << "removed the old folder of padded copies" << folder;
}

} // namespace

std::unique_ptr<SoundOutput> SoundLoader::load()
{
    using Make = SoundOutput* (*)();
    const QString home = QCoreApplication::applicationDirPath();
    for (const QString& path : { home + QStringLiteral("/horolan-audio.so"),
             home + QStringLiteral("/../lib/horolan/horolan-audio.so") }) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary library(path);
        if (const auto make = reinterpret_cast<Make>(library.resolve("horolanMakeSoundOutput"))) {
            qCDebug(lcSound) << "sound output loaded from" << library.fileName();
            return std::unique_ptr<SoundOutput>(make());
        }
        qCWarning(lcSound) << "cannot load the sound output" << path << "-"
                           << library.errorString();
    }
    qCWarning(lcSound) << "no sound output beside" << home << "- chimes are the desktop's beep";
    return std::make_unique<BeepOutput>();
}

void SoundLoader::removeOldCopies()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && QFileInfo::exists(cache + QStringLiteral("/horolan/sounds"))) {
        removeCopies(cache + QStringLiteral("/horolan/sounds"));
        QDir().rmdir(cache + QStringLiteral("/horolan"));
    }
#ifdef Q_OS_UNIX
    // The fallback in the temporary folder, only if it is this user's own.
    const QFileInfo temp(QDir::tempPath() + QStringLiteral("/horolan-%1-sounds").arg(::getuid()));
    if (temp.isDir() && !temp.isSymLink() && temp.ownerId() == ::getuid())
        removeCopies(temp.filePath());
#endif
}
