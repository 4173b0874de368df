// horolan-skin: the skin author's tool. "check" says what the clock makes of a skin folder,
// "render" draws the face the clock would show at a given time, "install" puts skins and sound
// packs from downloads where the clock finds them.

#include "core/install/Installer.h"
#include "skintool/SkinChecker.h"
#include "skintool/SkinRenderer.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdint>
#include <optional>

namespace {

enum ExitCode { asWritten = 0, notAsWritten = 1, usageError = 2 };

// A day without a change of daylight saving time in the zones that have one.
const QDate defaultDate(2026, 12, 5);

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usage(const QString& message)
{
    err() << "horolan-skin: " << message << "\n"
          << "Try 'horolan-skin --help'.\n";
    return usageError;
}

int check(const QString& folder)
{
    const CheckResult result = SkinChecker::check(folder);
    for (const Finding& finding : result.findings)
        out() << finding.toText() << '\n';
    out() << result.summary << '\n';
    return result.showsAsWritten() ? asWritten : notAsWritten;
}

int install(const QStringList& sources, Conflict policy)
{
    const Installer installer(Roots::standard());
    bool all = true;
    for (const QString& source : sources) {
        const InstallReport report = installer.install(source, policy);
        for (const QString& line : report.lines)
            out() << line << '\n';
        all = all && report.lines.size() == report.installed.size();
    }
    return all ? asWritten : notAsWritten;
}

QString describe(const Background& choice, const QString& folder)
{
    if (choice.isBuiltIn())
        return QStringLiteral("the built-in picture (%1)").arg(choice.reason);
    // The engine saw the folder through a temporary link: name the file as the author knows it.
    const QString file = QDir(folder).filePath(QFileInfo(choice.path).fileName());
    return QStringLiteral("%1 (%2)").arg(file, choice.reason);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("horolan-skin"));
    // Parsed before the application exists: only render needs the GUI part of Qt.
    QStringList commandLine;
    for (int i = 0; i < argc; ++i)
        commandLine << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The skin author's tool of the Horolan clock.\n"
        "\n"
        "check DIR\n"
        "  Reads the skin as the clock would and lists, as FILE:LINE: message, each line\n"
        "  the clock ignores, where its reading stops, and each picture it would miss or\n"
        "  refuse. Exit status 0 when the clock shows the skin as written (warnings alone\n"
        "  keep 0), 1 when it would not, 2 on a wrong command line.\n"
        "\n"
        "render DIR --time HH:MM:SS --out FILE.png\n"
        "  Draws the face the clock shows at that time: the skin activated, then one tick\n"
        "  of the clock's timer, at a device-pixel ratio of 1, or as a high-DPI screen\n"
        "  shows it with --scale (its \"@2x\" pictures where the skin has them). Pixels\n"
        "  outside the window's outline are fully transparent. Random choices use a fixed\n"
        "  seed, so each run writes the same picture.\n"
        "\n"
        "install FILE... [--replace | --keep-both]\n"
        "  Installs the skins and sound packs that archives (zip, rar, 7z, tar, tar.gz,\n"
        "  tar.bz2, tar.xz) or folders hold into your own folder, where the clock lists\n"
        "  them, and says what it installed or why not. A name you have already is kept,\n"
        "  unless --replace or --keep-both (as \"Name (2)\") says otherwise. Exit status 0\n"
        "  when everything was installed, 1 when anything was not."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption timeOption(QStringLiteral("time"),
        QStringLiteral("Local time of the face."), QStringLiteral("HH:MM:SS"));
    const QCommandLineOption dateOption(QStringLiteral("date"),
        QStringLiteral("Local date of the face (default %1).")
            .arg(defaultDate.toString(Qt::ISODate)),
        QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption ampmOption(
        QStringLiteral("ampm"), QStringLiteral("Twelve-hour display, as the clock's setting."));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
        QStringLiteral("Each reseeding of the random numbers (before every choice of a "
                       "background) restarts std::mt19937 at N instead of the time of day "
                       "(default 0). \"clock\" seeds them from the time of day as the clock "
                       "does: the choice of a clock whose time stands still at --time."),
        QStringLiteral("N|clock"), QStringLiteral("0"));
    const QCommandLineOption outOption(QStringLiteral("out"),
        QStringLiteral("The PNG file to write."), QStringLiteral("FILE.png"));
    const QCommandLineOption scaleOption(QStringLiteral("scale"),
        QStringLiteral("The screen's device-pixel ratio, from 0.25 to 8 (default 1): the picture "
                       "has that many pixels for each of the window's."),
        QStringLiteral("RATIO"), QStringLiteral("1"));
    const QCommandLineOption replaceOption(QStringLiteral("replace"),
        QStringLiteral("install: a skin or pack of a name you have replaces yours."));
    const QCommandLineOption keepBothOption(QStringLiteral("keep-both"),
        QStringLiteral("install: a skin or pack of a name you have is kept beside yours."));
    parser.addOptions({ timeOption, dateOption, ampmOption, seedOption, outOption, scaleOption,
        replaceOption, keepBothOption });
    parser.addPositionalArgument(
        QStringLiteral("command"), QStringLiteral("check, render or install."));
    parser.addPositionalArgument(
        QStringLiteral("DIR"), QStringLiteral("The skin folder (install: files or folders)."));

    if (!parser.parse(commandLine))
        return usage(parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        const QCoreApplication app(argc, argv); // names the program in the usage line
        parser.showHelp(asWritten);
    }
    const QStringList arguments = parser.positionalArguments();
    const QList<QCommandLineOption> skinOptions
        = { timeOption, dateOption, ampmOption, seedOption, outOption, scaleOption };
    if (arguments.value(0) == u"install") {
        for (const QCommandLineOption& option : skinOptions) {
            if (parser.isSet(option))
                return usage(QStringLiteral("--%1 is not an option of install")
                                 .arg(option.names().constFirst()));
        }
        if (arguments.size() < 2)
            return usage(QStringLiteral("install needs the files or folders to install"));
        if (parser.isSet(replaceOption) && parser.isSet(keepBothOption))
            return usage(QStringLiteral("give --replace or --keep-both, not both"));
        const QCoreApplication app(argc, argv);
        // The report is the output; the log would say it twice.
        QLoggingCategory::setFilterRules(QStringLiteral("horolan.install=false"));
        return install(arguments.mid(1),
            parser.isSet(replaceOption)        ? Conflict::Replace
                : parser.isSet(keepBothOption) ? Conflict::KeepBoth
                                               : Conflict::Cancel);
    }
    for (const QCommandLineOption& option : { replaceOption, keepBothOption }) {
        if (parser.isSet(option))
            return usage(QStringLiteral("--%1 is an option of install only")
                             .arg(option.names().constFirst()));
    }
    if (arguments.size() != 2)
        return usage(QStringLiteral("give a command (check, render or install) and a skin folder"));
    const QString& command = arguments.at(0);
    const QString& folder = arguments.at(1);

    if (command == u"check") {
        for (const QCommandLineOption& option : skinOptions) {
            if (parser.isSet(option))
                return usage(QStringLiteral("--%1 is an option of render only")
                                 .arg(option.names().constFirst()));
        }
        const QCoreApplication app(argc, argv);
        return check(folder);
    }
    if (command != u"render")
        return usage(QStringLiteral("unknown command \"%1\"").arg(command));

    if (!parser.isSet(timeOption) || !parser.isSet(outOption))
        return usage(QStringLiteral("render needs --time HH:MM:SS and --out FILE.png"));
    QTime time = QTime::fromString(parser.value(timeOption), QStringLiteral("h:mm:ss"));
    if (!time.isValid())
        time = QTime::fromString(parser.value(timeOption), QStringLiteral("h:mm:ss.zzz"));
    if (!time.isValid())
        return usage(QStringLiteral("--time %1 is not HH:MM:SS").arg(parser.value(timeOption)));
    QDate date = defaultDate;
    if (parser.isSet(dateOption)) {
        date = QDate::fromString(parser.value(dateOption), Qt::ISODate);
        if (!date.isValid())
            return usage(
                QStringLiteral("--date %1 is not YYYY-MM-DD").arg(parser.value(dateOption)));
    }
    std::optional<std::uint32_t> seed;
    if (parser.value(seedOption) != u"clock") {
        bool seedOk = false;
        seed = parser.value(seedOption).toUInt(&seedOk);
        if (!seedOk)
            return usage(
                QStringLiteral("--seed %1 is neither clock nor a whole number from 0 to 4294967295")
                    .arg(parser.value(seedOption)));
    }
    bool scaleOk = false;
    const double scale = parser.value(scaleOption).toDouble(&scaleOk);
    if (!scaleOk || !(scale >= 0.25 && scale <= 8))
        return usage(QStringLiteral("--scale %1 is not a number from 0.25 to 8")
                         .arg(parser.value(scaleOption)));
    SkinRenderer::Request request;
    request.scale = scale;
    request.folder = folder;
    request.time = QDateTime(date, time);
    request.twelveHour = parser.isSet(ampmOption);
    request.seed = seed;
    if (!request.time.isValid())
        return usage(QStringLiteral("%1 %2 does not exist in the local time zone")
                         .arg(date.toString(Qt::ISODate), time.toString()));

    // Fonts need a GUI application; it runs without a display unless told otherwise.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);
    const SkinRenderer::Result result = SkinRenderer::render(request);
    if (!result.error.isEmpty()) {
        err() << "horolan-skin: " << result.error << '\n';
        return notAsWritten;
    }
    const QString outFile = parser.value(outOption);
    if (!result.image.save(outFile, "PNG")) {
        err() << "horolan-skin: cannot write " << outFile << '\n';
        return notAsWritten;
    }
    out() << QStringLiteral("%1: %2 x %3 pixels at %4, background %5")
                 .arg(outFile)
                 .arg(result.image.width())
                 .arg(result.image.height())
                 .arg(request.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     describe(result.background, folder))
          << '\n';
    return asWritten;
}
