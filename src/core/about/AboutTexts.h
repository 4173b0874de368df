#pragma once

#include <QString>
#include <QStringList>

struct SkinInfo;

// The texts of the About window's pages, built when the window opens. Lines are separated by
// "\n"; within a paragraph the sentences run on and wrap where the page is narrow.
namespace AboutTexts {

// "Read Me", "Read Me Too" and "Contact", by the index of their sub-page button.
inline const QStringList readMeTitles { QStringLiteral("Read Me"), QStringLiteral("Read Me Too"),
    QStringLiteral("Contact") };
QString readMe(int subPage);

// The clock's keys and mouse commands, the main list and the extra one beside it, and those of
// the world time window.
QString hotKeys();
QString hotKeysMore();
QString hotKeysWorldTime();

QString credits();
QString thanks();

// "About Skin: " and the skin's name; its author, date, e-mail, home page and comments.
QString skinHeading(const SkinInfo& info);
QString skinText(const SkinInfo& info);

// The build's version as the project states it ("0.1.0"); "unknown" for a text that is none.
QString version(const QString& projectVersion);

} // namespace AboutTexts
