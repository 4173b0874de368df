#pragma once

#include "ui/options/InstallPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QTimeEdit;

// The "Chimes" page: the sound pack, the chimes and their count, the hours and moments the
// hourly chime keeps still, and its volume.
class ChimesPage final : public InstallPage {
    Q_OBJECT

public:
    ChimesPage(UserSettings& settings, const Roots& roots, QWidget* parent);

    void fill() override;
    void showList() override;

private:
    QComboBox* m_packs = nullptr;
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
};
