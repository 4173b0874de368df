#pragma once

#include "core/install/Installer.h"
#include "core/options/PageWalk.h"

#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <QWidget>

class Clock;
class QCheckBox;
class QPushButton;
class QSlider;
class QTimeEdit;
class QComboBox;
class QLabel;
class Roots;
class SpeedSliderWidget;
class Timepiece;
class UserSettings;
class WorldTimePage;

// "The Options": the skin, the sound pack, the chimes, the twelve-hour display, staying on top,
// the speed and the world time table, on four pages behind tabs. It keeps no settings of its own:
// it shows the settings when it opens and changes them the moment the user does; the clock hears
// of it from the settings.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* makeSkinPage();
    QWidget* makeChimesPage();
    QWidget* makeFreaksPage();
    void fill();
    void showSkinInfo();
    QPushButton* addInstallButtons(QWidget* page, InstallKind kind, QComboBox* list);
    void remove(InstallKind kind, const QString& name);
    bool handleKey(const QKeyEvent* event);
    void slideStep();

    UserSettings& m_settings;
    const Timepiece& m_timepiece;
    const Roots& m_roots;

    PageWalk m_walk { PageCount };
    QWidget* m_tabs = nullptr;
    QWidget* m_area = nullptr;
    QList<QWidget*> m_pages;
    QComboBox* m_skins = nullptr;
    QComboBox* m_packs = nullptr;
    QPushButton* m_removeSkin = nullptr;
    QPushButton* m_removePack = nullptr;
    QLabel* m_skinInfo = nullptr;
    QCheckBox* m_randomSkin = nullptr;
    QCheckBox* m_useChimes = nullptr;
    QCheckBox* m_countChimes = nullptr;
    QCheckBox* m_quietHours = nullptr;
    QTimeEdit* m_quietFrom = nullptr;
    QTimeEdit* m_quietTo = nullptr;
    QCheckBox* m_quietLocked = nullptr;
    QCheckBox* m_quietDoNotDisturb = nullptr;
    QCheckBox* m_quietFullScreen = nullptr;
    QSlider* m_volume = nullptr;
    QLabel* m_volumeValue = nullptr;
    QCheckBox* m_onTop = nullptr;
    QCheckBox* m_twelveHour = nullptr;
    QCheckBox* m_startAtLogin = nullptr;
    QLabel* m_speedValue = nullptr;
    SpeedSliderWidget* m_speed = nullptr;
    ::WorldTimePage* m_worldTimes = nullptr;

    // The slide between two pages, a frame at each refresh of the screen.
    QTimer m_slideTimer;
    QElapsedTimer m_slideClock;
    QList<double> m_slide;
    QWidget* m_slidingOut = nullptr;
    QWidget* m_slidingIn = nullptr;
};
