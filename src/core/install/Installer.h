#pragma once

#include "core/files/Roots.h"
#include "core/install/Unpack.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

enum class InstallKind { Skin, SoundPack };

// What to do when the user already has a skin or pack of the name: Ask leaves it to the user;
// unanswered it installs nothing, as Cancel.
enum class Conflict { Ask, Replace, KeepBoth, Cancel };

// What an archive or folder held, unpacked into a temporary folder beside the user's skins (on
// the same file system, so that each is renamed into place whole). The folder goes with it.
struct Unpacked {
    struct Item {
        InstallKind kind = InstallKind::Skin;
        QString folder; // inside the temporary folder
        QString name; // the folder it is installed as
        bool taken = false; // the user has one of that name, in any letter case
    };

    QString source;
    QString refusal; // why nothing is installed, or empty
    QList<Item> items;
    std::shared_ptr<QTemporaryDir> staging;
};

struct InstallReport {
    struct Installed {
        InstallKind kind = InstallKind::Skin;
        QString name;
    };
    QList<Installed> installed;
    QStringList lines; // for the user: what was installed, or why not
};

// Installs skins and sound packs from an archive or a folder into the user's data folder. Every
// folder with a Skin.ini (any letter case, down to three levels) is a skin; one with an SP.ini or
// WAV files and no Skin.ini, a sound pack. Each is installed by its folder's name, or the
// archive's when the files lie at its top; a name held by a sample or twice in one archive is
// kept beside it as "Name (2)". Nothing is half-installed: all is unpacked first, then each is
// renamed into place whole, a replaced one moved away only then.
class Installer {
public:
    static constexpr int maxDepth = 3;

    explicit Installer(Roots roots, UnpackLimits limits = {})
        : m_roots(std::move(roots))
        , m_limits(limits)
    { }

    // The first step, on any thread: unpacks and finds what it holds.
    Unpacked unpack(const QString& given, const std::function<void(double)>& progress = {}) const;
    // The second: installs what was found; choices[i] answers for items[i] if its name is taken.
    InstallReport finish(Unpacked& unpacked, const QList<Conflict>& choices) const;
    // Both, with one answer for every name that is taken.
    InstallReport install(const QString& source, Conflict policy) const;

    // Whether the skin or pack of that name is the user's own, which remove() may take away
    // (never a sample).
    bool isUsers(InstallKind kind, const QString& name) const;
    // Removes the user's own skin or pack whole: the reason it could not, or empty.
    QString remove(InstallKind kind, const QString& name) const;

    static QString kindFolder(InstallKind kind);
    static QString kindText(InstallKind kind); // "skin", "sound pack"
    // What the user calls the file: its name without the archive's suffixes (.zip, .tar.gz ...).
    static QString baseName(const QString& source);

private:
    // The user's folder of that name in any letter case, or empty.
    QString usersFolder(InstallKind kind, const QString& name) const;
    bool isTaken(InstallKind kind, const QString& name, const QStringList& batch) const;
    QString freeName(InstallKind kind, const QString& name, const QStringList& batch) const;

    Roots m_roots;
    UnpackLimits m_limits;
};
