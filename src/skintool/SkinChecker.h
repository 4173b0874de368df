#pragma once

#include <QList>
#include <QString>

// One thing the clock would do differently from what the skin's author wrote.
struct Finding {
    enum class Severity { Error, Warning };

    QString file; // as the author named the folder: "MySkin/Skin.ini", "MySkin/back1.bmp"
    int line = 0; // 1-based; 0 when the finding is about the whole file or folder
    Severity severity = Severity::Warning;
    QString message;

    // "FILE:LINE: error: message", or "FILE: warning: message" without a line.
    QString toText() const;
};

struct CheckResult {
    QList<Finding> findings;
    QString summary; // one line
    int errors() const;
    // Errors mean the clock would not show the skin as written; warnings alone do not.
    bool showsAsWritten() const { return errors() == 0; }
};

// Reads a skin folder as the clock would (the same reader, file list and picture loader) and says
// which lines it ignores, where its reading stops, and which pictures it would miss or refuse.
namespace SkinChecker {

CheckResult check(const QString& folder);

} // namespace SkinChecker
