#pragma once

#include <QString>
#include <QStringList>

// The regular files of one folder whose names match a pattern, without regard to letter
// case ("*" any run of characters, "?" one character), sorted case-insensitively. Skins made on
// Windows write "Back1.BMP" and "skin.ini" in any case.
class FileList {
public:
    // Points the list at a folder and a pattern and lists it once. A folder that does not exist or
    // cannot be read gives no files. At most maxFiles names are kept (logged when cut). Only
    // regular files count, also through links; hidden files (".name") are left out.
    void set(const QString& folder, const QString& pattern);

    const QString& folder() const { return m_folder; }
    const QString& pattern() const { return m_pattern; }
    const QStringList& names() const { return m_names; } // file names only, in order
    int count() const { return int(m_names.size()); }
    QString path(int index) const; // folder + "/" + names()[index]; empty when out of range
    // Leaves out the pictures' "@2x" companions: pictures are chosen from what is left.
    void dropCompanions();

    // Every other character of the pattern stands for itself: "back[1].bmp" is a plain name.
    static bool matches(const QString& name, const QString& pattern);

    // The order of the list: case-insensitive, ties broken by the exact name.
    static bool nameLess(const QString& a, const QString& b);

    // The path of the regular file of the folder named like this in any letter case (the exact
    // name first, else the first in list order); empty when there is none.
    static QString findFile(const QString& folder, const QString& name);

    static constexpr int maxFiles = 10000;

private:
    QString m_folder;
    QString m_pattern;
    QStringList m_names;
};
