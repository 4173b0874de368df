#pragma once

#include "core/shape/PictureScaling.h"

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
    QImage companion = {}; // twice the picture's size, for high-DPI screens; null when none
    // A picture our own code draws at any device-pixel ratio; null for a skin's file.
    QImage (*drawAt)(qreal ratio) = nullptr;

    bool isBuiltIn() const { return path.isEmpty(); }
    // What a screen of this device-pixel ratio shows: the picture and its outline at the
    // screen's own pixels. At a ratio of 1, the picture and outline themselves.
    PictureScaling::ScreenPicture forScreen(qreal ratio) const;
};

// The built-in dial, always cut by its own magenta whatever the skin's colour.
Background builtInBackground(const QString& reason);
