#include "ui/options/FreaksPage.h"

#include "core/options/SpeedSlider.h"
#include "core/settings/Autostart.h"
#include "core/settings/UserSettings.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/options/SpeedSliderWidget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

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
    m_clickThrough = newBox("clickThrough", QStringLiteral("Click through"),
        QStringLiteral("Clicks pass through the clock to the windows below it; the tray menu, "
                       "these options or a second start take them back"));
    grid->addWidget(m_clickThrough, 3, 0);
    auto* opacityRow = new QHBoxLayout;
    auto* opacityCaption = new QLabel(QStringLiteral("Opacity"), this);
    m_opacity = new QSlider(Qt::Horizontal, this);
    m_opacity->setObjectName(QStringLiteral("opacity"));
    m_opacity->setAccessibleName(QStringLiteral("Opacity"));
    m_opacity->setToolTip(QStringLiteral("How much of what lies below shows through the clock"));
    m_opacity->setRange(20, 100);
    m_opacity->setSingleStep(5);
    m_opacity->setPageStep(10);
    opacityCaption->setBuddy(m_opacity);
    m_opacityValue = new QLabel(this);
    m_opacityValue->setMinimumWidth(
        m_opacityValue->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    opacityRow->addWidget(opacityCaption);
    opacityRow->addWidget(m_opacity, 1);
    opacityRow->addWidget(m_opacityValue);
    grid->addLayout(opacityRow, 4, 0);
    m_noCompositor = new QLabel(QStringLiteral("Needs a compositing window manager"), this);
    m_noCompositor->setObjectName(QStringLiteral("noCompositor"));
    grid->addWidget(m_noCompositor, 5, 0);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(0, 1);
    auto* caption = new QLabel(QStringLiteral("Speed"), this);
    m_speedValue = new QLabel(this);
    m_speedValue->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    grid->addWidget(caption, 0, 1);
    grid->addWidget(m_speedValue, 1, 1);
    m_speed = new SpeedSliderWidget(this);
    m_speed->setObjectName(QStringLiteral("speed"));
    grid->addWidget(m_speed, 0, 2, 6, 1, Qt::AlignTop);

    connect(m_onTop, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.set(&Settings::onTop, on); });
    connect(m_twelveHour, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.set(&Settings::twelveHour, on); });
    // Kept by the desktop, not in the settings file: the box shows what is there.
    connect(m_startAtLogin, &QCheckBox::clicked, this, [this](bool on) {
        Autostart::set(on, Autostart::thisProgram());
        m_startAtLogin->setChecked(Autostart::isOn());
    });
    connect(m_clickThrough, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.set(&Settings::clickThrough, on); });
    connect(m_opacity, &QSlider::valueChanged, this, [this](int percent) {
        m_opacityValue->setText(QStringLiteral("%1 %").arg(percent));
        m_settings.set(&Settings::opacity, percent);
    });
    // The box follows the setting however it changes: the tray menu, a second start.
    connect(&m_settings, &UserSettings::changed, this, [this](Setting setting) {
        if (setting == Setting::ClickThrough)
            m_clickThrough->setChecked(m_settings->clickThrough);
    });
    DesktopIntegration::watchCompositor(this, [this] { showCompositor(); });
    showCompositor();
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
    m_clickThrough->setChecked(settings.clickThrough);
    m_opacity->setValue(settings.opacity);
    m_opacityValue->setText(QStringLiteral("%1 %").arg(settings.opacity));
}

void FreaksPage::showCompositor()
{
    const bool composited = DesktopIntegration::composited();
    m_opacity->setEnabled(composited);
    m_noCompositor->setVisible(!composited);
}
