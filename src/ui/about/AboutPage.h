#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

// One text page of the About window: a heading over a rule, the body, an optional second column
// and foot, on a paper panel cut to the window's plate. The Read Me page also has buttons for its
// sub-pages, each with a marker: green where a click leads, pale for the sub-page shown.
class AboutPage final : public QWidget {
public:
    struct Texts {
        QString heading;
        QString body;
        QString side; // a second column beside the body
        QString footHeading;
        QString foot;
    };

    explicit AboutPage(QWidget* parent);

    void setTexts(Texts texts);
    const Texts& texts() const { return m_texts; }
    // chosen(i) comes only for a button whose marker is green.
    void setSubPages(QStringList titles, std::function<void(int)> chosen);
    void setCurrentSubPage(int index);
    int currentSubPage() const { return m_currentSubPage; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRectF buttonRect(int index) const;
    int buttonAt(QPointF point) const;

    Texts m_texts;
    QStringList m_subPages;
    std::function<void(int)> m_chosen;
    int m_currentSubPage = 0;
};
