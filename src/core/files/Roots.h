#pragma once

#include <QString>
#include <QStringList>

#include <utility>

// Where skins and sound packs live: the program's folder, the user's data folder
// ($XDG_DATA_HOME/horolan, by default ~/.local/share/horolan), then each system data folder
// ($XDG_DATA_DIRS, then /usr/local/share/horolan and /usr/share/horolan). A name resolves to the
// first root that holds it; lists merge by name.
class Roots {
public:
    // The production roots, from the program's folder and the environment. Relative XDG paths
    // are ignored, as the XDG base directory rules ask; a root named twice is kept once.
    static Roots standard();
    // userRoot is where the user's own skins and packs go (one of the roots); empty: nowhere.
    explicit Roots(QStringList roots, QString userRoot = {})
        : m_roots(std::move(roots))
        , m_userRoot(std::move(userRoot))
    { }

    const QStringList& roots() const { return m_roots; }
    // The user's data folder: skins and packs are installed here and only these are removed.
    const QString& userRoot() const { return m_userRoot; }

    // The folder of a skin ("Skins") or sound pack ("Sounds") of that name, or empty: a name that
    // is not safe, or is found under no root, resolves to nothing. The name matches exactly under
    // any root first, then without regard to letter case; the kind always exactly.
    QString resolve(const QString& kind, const QString& name) const;

    // Every folder name under kind in any root, merged by name (the first root wins), sorted
    // case-insensitively. Hidden folders (".name") and names that would not resolve are left out.
    QStringList list(const QString& kind) const;

    // False for an empty name, ".", "..", anything holding "..", "/", "\\" or NUL (and ":" on
    // Windows, where "C:x" names another drive).
    static bool isSafeName(const QString& name);

private:
    QStringList m_roots;
    QString m_userRoot;
};
