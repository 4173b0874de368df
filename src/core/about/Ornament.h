#pragma once

#include <QLineF>
#include <QList>
#include <QSizeF>

class Random;

// The About window's toy clock: three counters that run far faster than time, each 0 to 59, and
// the hands they give on a small face. It shows no real time.
class OrnamentClock {
public:
    struct Hands {
        QLineF hour, minute, second;
    };

    // The counters start at random on the first step after construction.
    bool isSet() const { return m_set; }
    int seconds() const { return m_seconds; }
    int minutes() const { return m_minutes; }
    int hours() const { return m_hours; }
    void set(int seconds, int minutes, int hours);

    // One tick: seconds on by four; a counter that passes 59 restarts at 0 (not at the
    // remainder) and carries four to the next.
    void step(Random& random);

    // The hands on a face of this size, from its centre: the hour hand 70% long, the others
    // reaching the edge; a face that is not round gives an elliptic path.
    Hands hands(QSizeF face) const;

private:
    bool m_set = false;
    int m_seconds = 0;
    int m_minutes = 0;
    int m_hours = 0;
};

// Where a page of the About window stands on each frame of its slide, in logical pixels: out
// goes down from the shown top to the hidden one, in comes up and ends exactly at the shown top.
// The step is the page's height divided by Speed x 22 / 100; at Speed 0 a page does not slide.
namespace PageSlide {
QList<double> out(double shownTop, double hiddenTop, double pageHeight, float speed);
QList<double> in(double shownTop, double hiddenTop, double pageHeight, float speed);
} // namespace PageSlide
