#include "ui/audio/SoundLoader.h"

#include "core/base/Logging.h"
#include "core/chimes/SoundOutput.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QTimer>

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
