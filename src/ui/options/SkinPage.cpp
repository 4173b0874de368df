#include "ui/options/SkinPage.h"

#include "core/face/Timepiece.h"
#include "core/settings/UserSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

SkinPage::SkinPage(
    UserSettings& settings, const Timepiece& timepiece, const Roots& roots, QWidget* parent)
    : InstallPage(InstallKind::Skin, settings, roots, parent)
    , m_timepiece(timepiece)
{
    auto* grid = new QGridLayout(this);
    m_skins = addListRow(grid, QStringLiteral("Skin:"), "skins", 16);
    m_randomSkin = newBox("randomSkin", QStringLiteral("Select Random Skin"),
        QStringLiteral("Select random Skin Every Hour"));
    grid->addWidget(m_randomSkin, 1, 0, 1, 2);
    m_skinInfo = new QLabel(QStringLiteral("About Skin"), this);
    m_skinInfo->setWordWrap(true);
    m_skinInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_skinInfo->setMinimumHeight(fontMetrics().height() * 5);
    grid->addWidget(m_skinInfo, 2, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);

    connect(m_skins, &QComboBox::activated, this, [this](int index) {
        m_settings.set(&Settings::skin, m_skins->itemText(index));
        showSkinInfo();
    });
    connect(m_randomSkin, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.set(&Settings::randomSkin, on); });
    watchKeys();
}

void SkinPage::fill()
{
    showList();
    m_randomSkin->setChecked(m_settings->randomSkin);
}

void SkinPage::showList()
{
    fillList(m_skins, m_timepiece.skinChoices(), m_settings->skin);
    showSkinInfo();
}

void SkinPage::showSkinInfo()
{
    const SkinInfo& info = m_timepiece.skin().info;
    m_skinInfo->setText(
        QStringLiteral("'%1' By %2, %3\n%4").arg(info.name, info.madeBy, info.date, info.comment));
}
