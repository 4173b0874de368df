#pragma once

#include <QString>

class Clock;

// What stands around the settings file: the lock and the leftovers of saves that were killed, a
// FIFO or folder in the file's place, and a copy of a damaged file before it is written over. It
// deletes no file of the user's: what it cannot be sure it made is moved aside, not removed. The
// clock stamps the names of what it moves or copies.
class SettingsGuard {
public:
    SettingsGuard(const QString& filePath, const Clock& clock);

    // Whatever is not a regular file in the file's place or its lock's (a link to one is) is
    // moved aside, as a FIFO would block the clock; false when that failed: the settings then
    // stay in memory, and the failure was told.
    bool filesUsable();
    // A save killed half-way left files beside the one it was writing and a stale lock: this
    // build's own are removed, an older build's moved into "<file>.interrupted". Nothing is
    // touched while another process holds the lock.
    void clearInterruptedSaves();
    // A file that could not be read completely is copied aside once, before it is first written
    // over: QSettings keeps only what it could read. False while no copy could be made.
    bool keepDamagedCopy();

private:
    bool moveAsideIfNotAFile(const QString& path);
    void moveOldSaves();
    void removeOwnScratch();
    // "<path>.<what>-<date>-<time>", or with "-2" and on where that is taken; empty past 100.
    QString stamped(const QString& path, const QString& what) const;

    QString m_filePath;
    const Clock& m_clock;
    bool m_damageKept = false;
    bool m_copyFailureTold = false;
};
