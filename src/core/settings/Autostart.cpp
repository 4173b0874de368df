#include "core/settings/Autostart.h"

#include "core/base/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace Autostart {

QString entryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/org.horolan.Horolan.desktop");
}

bool isOn()
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.compare("Hidden=true", Qt::CaseInsensitive) == 0
            || line.compare("X-GNOME-Autostart-enabled=false", Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

QString execText(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); }))
        return program;
    QString quoted = program;
    // Inside quotes a desktop entry escapes these with a backslash, and the file's own string
    // rules double every backslash.
    for (const QString& c :
        { QStringLiteral("\\"), QStringLiteral("\""), QStringLiteral("`"), QStringLiteral("$") })
        quoted.replace(c, u'\\' + c);
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

QString thisProgram()
{
    // Installed where the desktop finds programs: by name, so that an upgrade moving it keeps
    // the entry good.
    const QString self = QCoreApplication::applicationFilePath();
    const QString found = QStandardPaths::findExecutable(QStringLiteral("horolan"));
    return !found.isEmpty()
            && QFileInfo(found).canonicalFilePath() == QFileInfo(self).canonicalFilePath()
        ? QStringLiteral("horolan")
        : self;
}

bool set(bool on, const QString& program)
{
    const QString path = entryPath();
    if (!on) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            qCWarning(lcSettings) << "cannot remove the autostart entry" << path;
            return false;
        }
        qCInfo(lcSettings) << "no longer started at login";
        return true;
    }
    QSaveFile file(path);
    const QByteArray text = "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Horolan\n"
                            "Comment=A skinnable clock on the desktop that chimes the hours\n"
                            "Exec="
        + execText(program).toUtf8()
        + "\n"
          "Icon=org.horolan.Horolan\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly)
        || file.write(text) != text.size() || !file.commit()) {
        qCWarning(lcSettings) << "cannot write the autostart entry" << path << file.errorString();
        return false;
    }
    qCInfo(lcSettings) << "started at login by" << path;
    return true;
}

} // namespace Autostart
