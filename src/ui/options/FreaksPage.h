#pragma once

#include "ui/options/OptionsPage.h"

class QCheckBox;
class QLabel;
class QSlider;
class SpeedSliderWidget;
class UserSettings;

// The "Freaks" page: staying on top, the twelve-hour display, starting at login, clicks through
// the clock, its opacity and the Speed.
class FreaksPage final : public OptionsPage {
    Q_OBJECT

public:
    FreaksPage(UserSettings& settings, QWidget* parent);

    void fill() override;

private:
    // The opacity needs a compositor, which may come and go while the page is open.
    void showCompositor();

    UserSettings& m_settings;
    QCheckBox* m_onTop = nullptr;
    QCheckBox* m_twelveHour = nullptr;
    QCheckBox* m_startAtLogin = nullptr;
    QCheckBox* m_clickThrough = nullptr;
    QSlider* m_opacity = nullptr;
    QLabel* m_opacityValue = nullptr;
    QLabel* m_noCompositor = nullptr;
    QLabel* m_speedValue = nullptr;
    SpeedSliderWidget* m_speed = nullptr;
};
