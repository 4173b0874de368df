#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The sample skins shipped with the clock, drawn in memory: each a folder name and its files
// (Skin.ini and pictures), ready to be written out or compared with the committed ones.
struct SkinFile {
    QString name;
    QByteArray bytes;
};

struct SampleSkin {
    QString folder;
    QList<SkinFile> files;
};

namespace SampleSkins {

// Pebbles, Hours, Spinner, Digits and Tyme Slate. Needs a QGuiApplication (fonts).
QList<SampleSkin> all();

} // namespace SampleSkins
