#pragma once

#include <QList>

#include <optional>

// Which page of the options window is shown: none at first, then the one whose tab was chosen;
// the arrow keys walk the pages round.
class PageWalk {
public:
    explicit PageWalk(int count)
        : m_count(count)
    { }

    std::optional<int> selected() const { return m_selected; }
    // The page before the selected one; from the first, or with none selected, the last.
    int before() const;
    // The page after the selected one; from the last, or with none selected, the first.
    int after() const;
    // Selects a page; the page it replaces, or nullopt when there was none. Choosing the
    // selected page again changes nothing and gives nullopt with changed false.
    struct Change {
        bool changed = false;
        std::optional<int> old;
    };
    Change select(int page);

    // The slide's frames: the old page at x, the new one at x - windowWidth, for x from 0 up to
    // areaWidth in steps of windowWidth / (speed × 1.5), so a higher Speed slides in more,
    // smaller steps. No slide at Speed 0.
    static QList<double> slide(double windowWidth, double areaWidth, float speed);

private:
    int m_count;
    std::optional<int> m_selected;
};
