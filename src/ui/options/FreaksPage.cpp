#include "ui/options/FreaksPage.h"

#include "core/options/SpeedSlider.h"
#include "core/settings/Autostart.h"
#include "core/settings/UserSettings.h"
#include "ui/options/SpeedSliderWidget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

FreaksPage::FreaksPage(UserSettings& settings, QWidget* parent)
    : OptionsPage(parent)
    , m_settings(settings)
{
    auto* grid = new QGridLayout(this);
    m_onTop = newBox("onTop", QStringLiteral("Always on top"), {});
    m_twelveHour = newBox("twelveHour", QStringLiteral("AMPM"), {});
    grid->addWidget(m_onTop, 0, 0);
    grid->addWidget(m_twelveHour, 1, 0);
    m_startAtLogin = newBox("startAtLogin", QStringLiteral("Start at login"),
        QStringLiteral("Starts the clock when you log in to the desktop"));
    grid->addWidget(m_startAtLogin, 2, 0);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    auto* caption = new QLabel(QStringLiteral("Speed"), this);
    m_speedValue = new QLabel(this);
    m_speedValue->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    grid->addWidget(caption, 0, 1);
    grid->addWidget(m_speedValue, 1, 1);
    m_speed = new SpeedSliderWidget(this);
    m_speed->setObjectName(QStringLiteral("speed"));
    grid->addWidget(m_speed, 0, 2, 4, 1, Qt::AlignTop);

    connect(m_onTop, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.set(&Settings::onTop, on); });
    connect(m_twelveHour, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.set(&Settings::twelveHour, on); });
    // Kept by the desktop, not in the settings file: the box shows what is there.
    connect(m_startAtLogin, &QCheckBox::clicked, this, [this](bool on) {
        Autostart::set(on, Autostart::thisProgram());
        m_startAtLogin->setChecked(Autostart::isOn());
    });
    connect(m_speed, &SpeedSliderWidget::speedChanged, this, [this](float speed) {
        m_speedValue->setText(QString::number(SpeedSlider::shown(speed)));
        m_settings.set(&Settings::speed, speed);
    });
    watchKeys();
}

void FreaksPage::fill()
{
    const Settings& settings = m_settings.values();
    m_twelveHour->setChecked(settings.twelveHour);
    m_onTop->setChecked(settings.onTop);
    m_startAtLogin->setChecked(Autostart::isOn());
    m_speedValue->setText(QString::number(SpeedSlider::shown(settings.speed)));
    m_speed->setSpeed(settings.speed);
}
