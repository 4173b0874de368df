#pragma once

#include <QString>
#include <QTime>

#include <optional>

// The hours in which the hourly chime is not struck: from `from` up to, not including, `to`,
// over midnight when `to` comes first. A span from a time to the same time is empty.
struct QuietHours {
    bool on = false;
    QTime from { 22, 0 };
    QTime to { 7, 0 };

    bool contains(QTime time) const;
    bool operator==(const QuietHours&) const = default;

    // "HH:MM", as the settings file holds a time; nothing for any other text.
    static std::optional<QTime> readTime(const QString& text);
    static QString timeText(QTime time) { return time.toString(QStringLiteral("HH:mm")); }
};
