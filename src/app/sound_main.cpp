// horolan-sound: the clock's sounds, in a process that lives only while they play. It reads the
// commands of SoundProcess (ui/audio/SoundLoader.h) on its input, one a line, plays them through
// QtSoundOutput and answers on its output; at the end of its input it ends.
#include "core/base/Logging.h"
#include "ui/audio/QtSoundOutput.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace {

void answer(const QByteArray& line)
{
    const QByteArray out = line + '\n';
    qsizetype done = 0;
    while (done < out.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, out.constData() + done, size_t(out.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the clock is gone: its input's end follows
        done += n;
    }
}

// The desktop's beep is the clock's to give: this process has no screen.
class ChildOutput final : public QtSoundOutput {
protected:
    void desktopBeep() override { answer("beep"); }
};

// 0 to 1; NaN and infinity (which toDouble reads from "nan" and "inf") play at full volume.
double volume(const QString& text)
{
    const double value = text.toDouble();
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 1.0;
}

class Commands final : public QObject {
public:
    explicit Commands(ChildOutput& output)
        : m_output(output)
        , m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_input, &QSocketNotifier::activated, this, &Commands::read);
        connect(&output, &SoundOutput::strokeEnded, this, [] { answer("ended"); });
        connect(&output, &QtSoundOutput::quiet, this,
            [this] { answer("quiet " + QByteArray::number(m_read)); });
    }

private:
    void read()
    {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            return;
        if (n <= 0) {
            m_input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        m_pending.append(chunk, n);
        qsizetype end = 0;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            ++m_read;
            run(line);
        }
    }

    void run(const QByteArray& line)
    {
        const qsizetype space = line.indexOf(' ');
        const QByteArray command = space < 0 ? line : line.left(space);
        const QString argument = space < 0
            ? QString()
            : QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(space + 1)));
        if (command == "play")
            m_output.play(argument);
        else if (command == "stroke")
            m_output.playStroke(argument);
        else if (command == "stop")
            m_output.stop();
        else if (command == "beep")
            m_output.beep();
        else if (command == "prepare")
            m_output.prepare();
        else if (command == "volume")
            m_output.setVolume(volume(argument));
        else
            qCWarning(lcSound) << "sound process: unknown command" << line.left(40);
    }

    SoundOutput& m_output;
    QSocketNotifier m_input;
    QByteArray m_pending;
    qint64 m_read = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("horolan"));
    ChildOutput output;
    Commands commands(output);
    return QCoreApplication::exec();
}
