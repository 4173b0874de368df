#pragma once

#include "ui/options/InstallPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class Timepiece;

// The "Skin" page: the skin list, a random skin every hour, and what the skin says of itself.
class SkinPage final : public InstallPage {
    Q_OBJECT

public:
    SkinPage(
        UserSettings& settings, const Timepiece& timepiece, const Roots& roots, QWidget* parent);

    void fill() override;
    void showList() override;

private:
    void showSkinInfo();

    const Timepiece& m_timepiece;
    QComboBox* m_skins = nullptr;
    QCheckBox* m_randomSkin = nullptr;
    QLabel* m_skinInfo = nullptr;
};
