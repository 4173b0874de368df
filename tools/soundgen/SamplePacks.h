#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct PackFile {
    QString name;
    QByteArray bytes;
};

// One folder the generator owns, relative to the data folder: "Sounds/<pack>" or
// "SkinChimes/<skin>".
struct SamplePack {
    QString folder;
    QList<PackFile> files;
    QString type; // the letter SP.ini gives; empty for skin chimes, which have none
};

// The sound packs shipped with the clock, and the chimes of a sample skin.
namespace SamplePacks {

QList<SamplePack> all();

} // namespace SamplePacks
