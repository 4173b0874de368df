#include "core/about/AboutTexts.h"

#include "core/base/Logging.h"
#include "core/skin/Skin.h"

#include <QVersionNumber>

namespace AboutTexts {

namespace {

// Longer than a page can show: a skin's own text is cut here rather than run off the page.
constexpr int maxFieldLength = 120;

// A skin's text as one line of at most maxFieldLength characters, control characters as blanks.
QString field(const QString& key, const QString& value)
{
    QString line = value;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = u' ';
    if (line.size() > maxFieldLength)
        line = line.left(maxFieldLength - 1) + QChar(0x2026);
    if (line != value)
        qCDebug(lcSkin) << "about skin:" << key << "shown as" << line;
    return line;
}

} // namespace

QString readMe(int subPage)
{
    switch (subPage) {
    case 1:
        return QStringLiteral(
            " = Sound Packs = \n"
            " Horolan strikes its chimes on the hour from sound packs, as it has since its first"
            " version, 0.1. A sound pack is a folder of .wav files with an SP.ini file. Sound packs"
            " are installed like skins, but into ~/.local/share/horolan/Sounds. Choose one on the"
            " \"Chimes\" page of the options window.\n\n"
            " = About Horolan = \n"
            " Horolan is made by the Horolan developers, for everyone who likes a clock of their"
            " own on the desktop.");
    case 2:
        return QStringLiteral(" = Contact =\n"
                              "Please write to us with problems, ideas and questions:\n"
                              "on the project's issue tracker,\n"
                              "whose address is in the project's README.\n"
                              "Also visit our web site:\n"
                              "the project's page, named in its README.");
    default:
        return QStringLiteral(
            " = STUFF = \n"
            " Horolan is a skinnable desktop clock. If you find any problems, have any ideas or"
            " questions, tell the Horolan developers on the project's issue tracker: the"
            " project's README says where it is.\n\n"
            " = SKINS = \n"
            " Horolan comes with a few skins, and any skin made for it can be added. To install"
            " a skin, copy its folder into ~/.local/share/horolan/Skins. Then choose it on the"
            " \"Skin\" page of the options window. Tip: you can also use 'Tyme' skins for"
            " 'Horolan'!");
    }
}

QString hotKeys()
{
    return QStringLiteral("F1 - About\n"
                          "W \\ T - WTT\n"
                          "M - Hide \\ Show\n"
                          "C - Play Chimes\n"
                          "X - Stop Chimes\n"
                          "Ctrl+O - Options\n"
                          "B - Change Background\n"
                          "Alt+F4 \\ Ctrl+Q \\ Ctrl+X - Quit\n"
                          "Menu Key - Show Menu");
}

QString hotKeysMore()
{
    return QStringLiteral("S - Toggle WTT Scroll\n"
                          "L - Toggle Lock Position\n"
                          "Mouse:\n"
                          "Left Button - Move\n"
                          "Ctrl+Left - Move (Locked)\n"
                          "Right Button - The Menu\n"
                          "Middle Button - Toggle WTT\n"
                          "Tray Icon:\n"
                          "Double Click - Hide \\ Show\n"
                          "Right Button - The Menu");
}

QString hotKeysWorldTime()
{
    return QStringLiteral("Middle Mouse Button \\ S - Toggle Scroll");
}

QString credits()
{
    return QStringLiteral("Ideas - the Horolan developers\n"
                          "Programming - the Horolan developers\n"
                          "Graphics - the Horolan developers\n"
                          "Logo - the Horolan developers\n"
                          "Testers - the Horolan developers");
}

QString thanks()
{
    return QStringLiteral("Qt: LGPLv3\n"
                          "libsndfile: LGPL-2.1 or later\n"
                          "libxcb: MIT");
}

QString skinHeading(const SkinInfo& info)
{
    return QStringLiteral("About Skin: ") + field(QStringLiteral("name"), info.name);
}

QString skinText(const SkinInfo& info)
{
    return QStringLiteral("Made By:   ") + field(QStringLiteral("madeby"), info.madeBy)
        + QStringLiteral("\nDate:   ") + field(QStringLiteral("date"), info.date)
        + QStringLiteral("\nEMail:   ") + field(QStringLiteral("email"), info.email)
        + QStringLiteral("\nHome Page:   ") + field(QStringLiteral("homepage"), info.homepage)
        + QStringLiteral("\nComments:   ") + field(QStringLiteral("comment"), info.comment);
}

QString version(const QString& projectVersion)
{
    qsizetype end = 0;
    const QVersionNumber number = QVersionNumber::fromString(projectVersion, &end);
    if (number.isNull() || end != projectVersion.size())
        return QStringLiteral("unknown");
    return number.toString();
}

} // namespace AboutTexts
