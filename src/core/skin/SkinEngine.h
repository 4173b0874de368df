#pragma once

#include "core/files/FileList.h"
#include "core/skin/SkinRecord.h"

#include <QImage>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class Clock;
class Random;
class Roots;
class SkinWindow;
struct HorolanState;

// Skin activation and the backgrounds: makes a skin folder the look of the main window, and
// chooses and installs its background pictures (fixed, random, one per hour, animated), cutting
// the window to each picture's outline. The window is reached only through SkinWindow.
class SkinEngine {
public:
    // One frame of an animated skin, with its outline traced once when it was loaded.
    struct Frame {
        QString path;
        QImage picture; // null when the file could not be loaded
        QRegion outline;
    };

    // What the last ChangeBack that got past its guard put in place, and why.
    struct BackChoice {
        QString path; // the picture file shown; empty for the built-in picture
        int frame = 0; // the frame shown (1..N), 0 when not a frame
        bool builtIn = false;
        QString reason;
    };

    // Width of a text in twips in the window font made from a skin font.
    using TextWidthTwips = std::function<double(const SkinFont& font, const QString& text)>;

    static constexpr int maxFrames = 1000;

    SkinEngine(HorolanState& state, const Clock& clock, const Roots& roots, Random& random,
        SkinWindow& window);

    void ActivateSkin(const QString& Skin);
    void ActivateDefSkin(bool OnlyValues);
    // Activates one of the candidates (the options window's skin list) at random.
    void ActivRandSkin(const QStringList& candidates);
    // callerFailed: the operation that led here recorded a failure (a skin file whose reading
    // stopped on an error, say), so the built-in picture is shown.
    void ChangeBack(std::uint8_t Hur, bool AnyWay, bool callerFailed = false);

    int framesCount() const { return int(m_frames.size()); }
    const std::vector<Frame>& frames() const { return m_frames; }
    // The next frame to show (1..N; 0 right after an activation). Wider than the byte it once
    // was: a byte could not count past 255 frames.
    int BackFrame() const { return m_BackFrame; }
    // The folder of CurrentSkin, or empty (the built-in skin, a missing or unsafe name).
    QString currentSkinFolder() const;
    const BackChoice& lastChoice() const { return m_lastChoice; }
    // Shared with the chimes, which point it at their own folders and patterns.
    FileList& File1() { return m_File1; }

    // The transparent colour of a transcolor text: three digit groups, red, green, blue.
    static QRgb keyColor(const QString& transcolor);

    // Tests hand in exact widths; the default measures with the font metrics.
    void setTextWidthFunction(TextWidthTwips function) { m_textWidth = std::move(function); }

private:
    void layOutTyme(bool readFailed);
    void loadFrames(const QString& folder);
    QImage chooseFromFiles(
        std::uint8_t hur, const QString& backtype, QString& path, QString& reason);
    void installBack(const QImage& picture, const QRegion& outline, QRgb key);
    void fitToPicture(QSize pictureSize);
    int hourNow12() const;

    HorolanState& m_state;
    const Clock& m_clock;
    const Roots& m_roots;
    Random& m_random;
    SkinWindow& m_window;
    TextWidthTwips m_textWidth;

    FileList m_File1;
    std::vector<Frame> m_frames; // imgBackList elements 1..N
    int m_BackFrame = 0;
    std::uint8_t m_LastHur = 0;
    std::uint8_t m_LastMinute = 0;
    QString m_LastSkin;
    BackChoice m_lastChoice;
};
