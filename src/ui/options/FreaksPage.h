#pragma once

#include "ui/options/OptionsPage.h"

class QCheckBox;
class QLabel;
class SpeedSliderWidget;
class UserSettings;

// The "Freaks" page: staying on top, the twelve-hour display, starting at login and the Speed.
class FreaksPage final : public OptionsPage {
    Q_OBJECT

public:
    FreaksPage(UserSettings& settings, QWidget* parent);

    void fill() override;

private:
    UserSettings& m_settings;
    QCheckBox* m_onTop = nullptr;
    QCheckBox* m_twelveHour = nullptr;
    QCheckBox* m_startAtLogin = nullptr;
    QLabel* m_speedValue = nullptr;
    SpeedSliderWidget* m_speed = nullptr;
};
