#pragma once

#include "core/about/Ornament.h"
#include "ui/clock/ShapedWindow.h"

#include <QImage>
#include <QList>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <array>

class AboutPage;
class Clock;
class Random;
class Timepiece;
struct Settings;

// The About window: an oval window with the help pages, the hot keys, the credits, the active
// skin's description and a toy clock that runs while the "Horolan" tab is current. It is modal to
// the clock's windows but only shown: the clock ticks on meanwhile.
class AboutWindow final : public ShapedWindow {
    Q_OBJECT

public:
    enum Tab { ReadMe, HotKeys, Credits, AboutSkin, Horolan, Done, TabCount };

    AboutWindow(
        const Timepiece& timepiece, const Settings& settings, Random& random, const Clock& clock);
    ~AboutWindow() override;

    // Fills the pages from the active skin and shows the window on the screen of over, "Horolan"
    // current and the toy clock running. An open window is only raised.
    void open(QWidget* over);
    // A click on a tab. While a page slides, the last tab asked for follows once it ends.
    void choose(int tab);
    int currentTab() const { return m_current; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Frame {
        int page;
        double top; // the page's top; below zero: the tab changes here
    };

    // The pages' texts afresh: the version, the read-me at its first sub-page, the hot keys, the
    // credits and the skin shown now.
    void fillPages();
    void nextFrame();
    void switchTo(int tab);
    void runOrnament();
    void tickOrnament();
    void chooseReadMe(int subPage);
    void layOutTabs();
    // The current tab's title and page, the accessible description a screen reader reads.
    void describe();
    int frameIntervalMs() const;

    const Timepiece& m_timepiece;
    const Settings& m_settings;
    Random& m_random;
    const Clock& m_clock;
    QImage m_picture;
    std::array<AboutPage*, 4> m_pages {};
    std::array<QRectF, TabCount> m_tabRects;
    QFont m_tabFont;
    QString m_version;
    int m_current = Horolan;
    int m_target = Horolan; // the tab a slide leads to
    int m_queued = -1;
    QList<Frame> m_frames;
    QTimer m_slideTimer;
    QTimer m_ornamentTimer;
    OrnamentClock m_ornament;
    QRectF m_clockPlace;
};
