#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class QWidget;

// The slide from one page of the options window to the next, a frame at each refresh of the
// screen: the old page moves out to the right as the new one comes in from the left.
class OptionsSlide final : public QObject {
    Q_OBJECT

public:
    // area is where the pages slide; it paces the frames by the screen of window.
    OptionsSlide(QWidget* window, QWidget* area);

    // Slides in to, out from (or none); a slide under way ends where it was going first.
    void start(QWidget* in, QWidget* out, float speed);
    // Ends any slide at once, every page hidden out of the area.
    void reset(const QList<QWidget*>& pages);

private:
    void step();

    QWidget* m_window;
    QWidget* m_area;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QList<double> m_frames;
    QWidget* m_out = nullptr;
    QWidget* m_in = nullptr;
};
