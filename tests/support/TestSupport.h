#pragma once

#include "core/base/Clock.h"
#include "core/base/Random.h"
#include "core/chimes/SoundOutput.h"
#include "core/face/Timepiece.h"
#include "core/files/Roots.h"
#include "core/settings/Settings.h"
#include "core/skin/Skin.h"

#include <QColor>
#include <QFileInfo>
#include <QMap>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>

// What the unit tests share: data rows, a sound output that records, random numbers of the
// test's choosing, the log, and skin and sound pack folders made on the spot.
namespace test {

// A file under tests/data.
QString dataPath(const QString& relative);

// The rows of a data file, one a line: "name | column | column ..."; blank lines and lines
// starting with "#" are skipped; columns are trimmed, and "\n" in one is a line break.
QList<QStringList> rows(const QString& relative);
// \n, \r, \t, \xHH and \uHHHH stand for those characters, a backslash before any other for it.
QString unescaped(QString text);

// The rows of a data file as QtTest rows named by their first column, in one column "row"; with
// kinds, only the rows whose second column is one of them.
void addRows(const QString& relative, const QStringList& kinds = {});

// Every field of the skin records as text, by its name in core/skin/Skin.h ("info.name",
// "secondHand.width", "hours.font", "worldTime.box"): colours "r,g,b", boxes "x,y,w,h" and
// positions "x,y" in pixels, fonts "family size bold italic underline", enums by their names.
QMap<QString, QString> skinFields(const Skin& skin, const WorldTimeSkin& worldTime);

// Records what the chimes ask of it: "play NAME", "stroke NAME", "stop", "beep".
class RecordingOutput final : public SoundOutput {
public:
    QStringList calls;
    void play(const QString& path) override { calls << "play " + QFileInfo(path).fileName(); }
    void playStroke(const QString& path) override
    {
        calls << "stroke " + QFileInfo(path).fileName();
    }
    void stop() override { calls << QStringLiteral("stop"); }
    void beep() override { calls << QStringLiteral("beep"); }
    void prepare() override { calls << QStringLiteral("prepare"); }
    void endStroke() { emit strokeEnded(); }
};

// Gives the numbers it was given, the last one again when they run out, whatever the seed.
class SequenceRandom final : public Random {
public:
    explicit SequenceRandom(QList<double> numbers = { 0 })
        : m_numbers(std::move(numbers))
    { }
    void seed(double) override { ++seeds; }
    double next() override
    {
        return m_numbers.size() > 1 ? m_numbers.takeFirst() : m_numbers.first();
    }
    int seeds = 0;

private:
    QList<double> m_numbers;
};

// The log while it lives, as "category.level: message" lines (debug lines included).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    // A line of "horolan.<category>" at level (debug, info, warning) holding text.
    bool has(const QString& category, const QString& level, const QString& text) const;
    QStringList lines;
};

// A temporary root with Skins and Sounds folders in it.
class Folders {
public:
    QString path(const QString& relative = {}) const;
    // Writes a file, making its folders; text is written as UTF-8.
    void write(const QString& relative, const QByteArray& bytes) const;
    // A picture of one colour, the format told by the file's suffix; with a key, the corners
    // (a quarter of each side) are of that colour.
    void picture(const QString& relative, QSize size, QColor colour, QColor key = {}) const;
    Roots roots() const { return Roots({ m_dir.path() }, m_dir.path()); }

private:
    QTemporaryDir m_dir;
};

// A timepiece over the skins of its own Folders root, its clock standing at 07:30 on 5 December
// 2026, random numbers of the test's choosing.
struct Clockwork {
    explicit Clockwork(QList<double> numbers = { 0 })
        : random(std::move(numbers))
    { }
    // The file name of the picture shown; "builtin" for the built-in dial.
    QString shown() const;

    Folders folders;
    FixedClock clock { QDateTime(QDate(2026, 12, 5), QTime(7, 30)) };
    SequenceRandom random;
    Roots roots = folders.roots();
    Settings settings;
    Timepiece timepiece { clock, random, roots, settings, QLocale::c() };
};

} // namespace test
