#include "ui/options/ChimesPage.h"

#include "core/chimes/Chimes.h"
#include "core/files/Roots.h"
#include "core/settings/UserSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimeEdit>

ChimesPage::ChimesPage(UserSettings& settings, const Roots& roots, QWidget* parent)
    : InstallPage(InstallKind::SoundPack, settings, roots, parent)
{
    auto* grid = new QGridLayout(this);
    m_packs = addListRow(grid, QStringLiteral("Sound Pack:"), "packs", 12);
    m_useChimes = newBox("useChimes", QStringLiteral("Use Chimes"),
        QStringLiteral("Play Chime every round hour (Skinable)"));
    grid->addWidget(m_useChimes, 1, 0, 1, 2);
    m_countChimes = newBox("countChimes", QStringLiteral("Use Count"),
        QStringLiteral("Allow chimes to be played as many times as the hour (Skinable)"));
    grid->addWidget(m_countChimes, 2, 0, 1, 2);

    // Considerate chimes: the hours and moments the hourly chime keeps still, and its volume.
    auto* quiet = new QHBoxLayout;
    m_quietHours = newBox("quietHours", QStringLiteral("Quiet at night"),
        QStringLiteral("No hourly chime between these times; C still plays it"));
    m_quietFrom = new QTimeEdit(this);
    m_quietTo = new QTimeEdit(this);
    m_quietFrom->setObjectName(QStringLiteral("quietFrom"));
    m_quietTo->setObjectName(QStringLiteral("quietTo"));
    for (QTimeEdit* edit : { m_quietFrom, m_quietTo })
        edit->setDisplayFormat(QStringLiteral("HH:mm"));
    // The captions around them are the box's and a lone "to": screen readers get whole names.
    m_quietFrom->setAccessibleName(QStringLiteral("Quiet at night from"));
    m_quietTo->setAccessibleName(QStringLiteral("Quiet at night to"));
    quiet->addWidget(m_quietHours);
    quiet->addWidget(m_quietFrom);
    quiet->addWidget(new QLabel(QStringLiteral("to"), this));
    quiet->addWidget(m_quietTo);
    quiet->addStretch(1);
    grid->addLayout(quiet, 3, 0, 1, 2);
    m_quietLocked
        = newBox("quietWhenLocked", QStringLiteral("Quiet while the screen is locked"), {});
    m_quietDoNotDisturb = newBox(
        "quietWhenDoNotDisturb", QStringLiteral("Quiet when the desktop says do not disturb"), {});
    m_quietFullScreen
        = newBox("quietWhenFullScreen", QStringLiteral("Quiet while a window is full screen"),
            QStringLiteral("A video, a presentation or a game"));
    grid->addWidget(m_quietLocked, 4, 0, 1, 2);
    grid->addWidget(m_quietDoNotDisturb, 5, 0, 1, 2);
    grid->addWidget(m_quietFullScreen, 6, 0, 1, 2);
    auto* volume = new QHBoxLayout;
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setRange(0, 100);
    m_volume->setPageStep(10);
    m_volume->setToolTip(QStringLiteral("The chimes' own volume"));
    m_volumeValue = new QLabel(this);
    m_volumeValue->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    auto* volumeCaption = new QLabel(QStringLiteral("Volume"), this);
    volumeCaption->setBuddy(m_volume);
    volume->addWidget(volumeCaption);
    volume->addWidget(m_volume, 1);
    volume->addWidget(m_volumeValue);
    grid->addLayout(volume, 7, 0, 1, 2);
    grid->setRowStretch(8, 1);

    connect(m_packs, &QComboBox::activated, this,
        [this](int index) { m_settings.set(&Settings::soundPack, m_packs->itemText(index)); });
    const auto quietChanged = [this] {
        m_settings.set(&Settings::quietHours,
            QuietHours { m_quietHours->isChecked(), m_quietFrom->time(), m_quietTo->time() });
    };
    connect(m_quietHours, &QCheckBox::clicked, this, quietChanged);
    connect(m_quietFrom, &QTimeEdit::userTimeChanged, this, quietChanged);
    connect(m_quietTo, &QTimeEdit::userTimeChanged, this, quietChanged);
    for (const auto& [box, setting] : { std::pair { m_useChimes, &Settings::useChimes },
             std::pair { m_countChimes, &Settings::countChimes },
             std::pair { m_quietLocked, &Settings::quietWhenLocked },
             std::pair { m_quietDoNotDisturb, &Settings::quietWhenDoNotDisturb },
             std::pair { m_quietFullScreen, &Settings::quietWhenFullScreen } }) {
        connect(box, &QCheckBox::clicked, this,
            [this, member = setting](bool on) { m_settings.set(member, on); });
    }
    connect(m_volume, &QSlider::valueChanged, this, [this](int value) {
        m_volumeValue->setText(QStringLiteral("%1 %").arg(value));
        m_settings.set(&Settings::chimeVolume, value);
    });
    watchKeys();
}

void ChimesPage::fill()
{
    const Settings& settings = m_settings.values();
    showList();
    m_useChimes->setChecked(settings.useChimes);
    m_countChimes->setChecked(settings.countChimes);
    m_quietHours->setChecked(settings.quietHours.on);
    {
        // Shown, not changed: these report a time set from here as the user's.
        const QSignalBlocker from(m_quietFrom);
        const QSignalBlocker to(m_quietTo);
        m_quietFrom->setTime(settings.quietHours.from);
        m_quietTo->setTime(settings.quietHours.to);
    }
    m_quietLocked->setChecked(settings.quietWhenLocked);
    m_quietDoNotDisturb->setChecked(settings.quietWhenDoNotDisturb);
    m_quietFullScreen->setChecked(settings.quietWhenFullScreen);
    {
        const QSignalBlocker shown(m_volume);
        m_volume->setValue(settings.chimeVolume);
    }
    m_volumeValue->setText(QStringLiteral("%1 %").arg(settings.chimeVolume));
}

void ChimesPage::showList()
{
    fillList(m_packs, QStringList { Chimes::skinChoice } + m_roots.list(QStringLiteral("Sounds")),
        m_settings->soundPack);
}
