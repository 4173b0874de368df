#pragma once

#include <QColor>
#include <QWidget>

class QCheckBox;
class QKeyEvent;

// The grey of every page, and of the chosen tab that opens onto it.
inline const QColor pageColour(192, 192, 192);

// One page of the options window: grey, hidden until chosen, filled from the settings when the
// window opens. It owns its controls and their keys; the keys that close the window or walk the
// pages it passes on as windowKey().
class OptionsPage : public QWidget {
    Q_OBJECT

public:
    explicit OptionsPage(QWidget* parent);

    // Shows the settings as they are.
    virtual void fill() = 0;

    enum class WindowKey { None, Close, Before, After };
    // What a key means to the window: Escape and Enter close it, Left and Right walk the pages,
    // unless the control with the focus (focus) takes them itself.
    static WindowKey windowKeyFor(const QKeyEvent* event, const QWidget* focus);

signals:
    void windowKey(OptionsPage::WindowKey key);

protected:
    // Called once the page's controls are made: their keys come here first.
    void watchKeys();
    // A key the page itself handles, sent to watched; true when it took it.
    virtual bool pageKey(QObject* watched, const QKeyEvent* event);
    bool eventFilter(QObject* watched, QEvent* event) override;

    QCheckBox* newBox(const char* name, const QString& caption, const QString& tip);
};
