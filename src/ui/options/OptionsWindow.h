#pragma once

#include "core/options/PageWalk.h"
#include "ui/options/OptionsPage.h"

#include <QList>
#include <QWidget>

class ChimesPage;
class Clock;
class FreaksPage;
class OptionsSlide;
class Roots;
class SkinPage;
class Timepiece;
class UserSettings;
class WorldTimePage;

// "The Options": the skin, the sound pack, the chimes, the twelve-hour display, staying on top,
// the speed and the world time table, on four pages behind tabs. This is the chrome: the tab
// strip, the area the pages slide in, the OK bar and the keys that walk the pages; each page owns
// its controls. It keeps no settings of its own: the pages show the settings when it opens and
// change them the moment the user does; the clock hears of it from the settings.
class OptionsWindow final : public QWidget {
    Q_OBJECT

public:
    OptionsWindow(UserSettings& settings, const Timepiece& timepiece, const Roots& roots,
        const Clock& time, QWidget* parent = nullptr);

    // Shows the window filled from the settings with no page chosen, or brings it forward when
    // it is open already.
    void open();

    enum Page { SkinPage, ChimesPage, FreaksPage, WorldTimePage, PageCount };
    std::optional<int> page() const { return m_walk.selected(); }
    void selectPage(int page);
    // The skins and sound packs there are now, the active ones chosen, and the skin's info.
    void showLists();

signals:
    // Files or folders to install: dropped on the Skin or Chimes page, or chosen by "Install...".
    void installRequested(const QStringList& paths);
    // The clock's own short ding: the world time page added nothing, as no zone was chosen.
    void dingRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void handleWindowKey(OptionsPage::WindowKey key);

    UserSettings& m_settings;
    PageWalk m_walk { PageCount };
    QWidget* m_tabs = nullptr;
    QWidget* m_area = nullptr;
    ::SkinPage* m_skinPage = nullptr;
    ::ChimesPage* m_chimesPage = nullptr;
    QList<OptionsPage*> m_pages;
    OptionsSlide* m_slide = nullptr;
};
