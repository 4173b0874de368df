#pragma once

// What the settings tests share: the store's warnings, a file's bytes, a load from the disk.
#include "core/base/Clock.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

inline QStringList g_warnings; // of horolan.settings
inline QtMessageHandler g_print = nullptr;

inline void keepWarning(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && qstrcmp(context.category, "horolan.settings") == 0)
        g_warnings << text;
    g_print(type, context, text);
}

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// From a copy of a name not used before: QSettings would hand this process what it read before.
inline Settings loadCopy(const QString& path)
{
    static int copies = 0;
    const QString copy = path + ".copy" + QString::number(++copies);
    const FixedClock clock;
    const Settings loaded
        = QFile::copy(path, copy) ? loadSettings(SettingsStore(copy, clock)) : Settings();
    QFile::remove(copy);
    return loaded;
}
