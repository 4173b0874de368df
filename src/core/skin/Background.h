#pragma once

#include <QImage>
#include <QRegion>
#include <QString>

// A picture to show behind the face, with the window's outline cut from it.
struct Background {
    QImage picture;
    QRegion outline;
    QRgb key = 0; // the colour the outline was cut by; scaling for a high-DPI screen keeps it out
    QString path; // the file shown; empty for the built-in picture
    int frame = 0; // 1..N for a frame of an animation, else 0
    QString reason; // why this picture, for the log and for skin authors

    bool isBuiltIn() const { return path.isEmpty(); }
};

// The built-in dial, always cut by its own magenta whatever the skin's colour.
Background builtInBackground(const QString& reason);
