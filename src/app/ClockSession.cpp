#include "app/ClockSession.h"

#include "core/base/Logging.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsStore.h"
#include "ui/about/AboutWindow.h"
#include "core/chimes/SoundOutput.h"
#include "ui/audio/SoundLoader.h"
#include "ui/commands/DateTimeSettings.h"

#include <QAction>

ClockSession::ClockSession(
    const Clock& clock, SettingsStore* store, Roots roots, std::function<SoundOutput&()> makeOutput)
    : m_clock(clock)
    , m_store(store)
    , m_roots(std::move(roots))
    , m_timepiece(clock, m_random, m_roots, m_settings)
    , m_chimes(clock, m_random, m_roots, m_settings,
          makeOutput ? std::move(makeOutput)
                     : std::function<SoundOutput&()>([this]() -> SoundOutput& {
                           if (!m_sound)
                               m_sound = SoundLoader::load();
                           return *m_sound;
                       }))
    , m_busy(clock, m_settings)
    , m_window(m_timepiece, m_chimes, m_settings, clock)
    , m_worldTime(m_settings, m_timepiece, clock, m_random, m_window.commands(), m_window.menu())
    , m_saver([this] { save(); })
{
    m_chimes.setBusyCheck([this] { return m_busy.reason(); });
    connect(&m_chimes, &Chimes::hourApproaching, &m_busy, &BusyDesktop::refresh);
    const auto saveSoon = [this] {
        if (m_store && !m_closing)
            m_saver.requestSave();
    };
    connect(&m_window, &ClockWindow::settingsChanged, this, saveSoon);
    connect(&m_worldTime, &WorldTimeWindow::settingsChanged, this, saveSoon);
    // Scrolling, the entries or the wall clock changed: the world time window draws and wakes anew.
    connect(&m_window, &ClockWindow::settingsChanged, &m_worldTime, &WorldTimeWindow::refresh);
    connect(&m_window, &ClockWindow::wallClockChanged, &m_worldTime, &WorldTimeWindow::refresh);
    connect(&m_window, &ClockWindow::skinActivated, &m_worldTime, [this] {
        if (m_worldTime.isVisible())
            m_worldTime.updateSkin();
    });
    QAction* toggleWorldTime = m_window.commands().action(Command::ToggleWorldTime);
    connect(toggleWorldTime, &QAction::triggered, &m_worldTime, &WorldTimeWindow::toggle);
    toggleWorldTime->setEnabled(true);
    connect(&m_window, &ClockWindow::closeRequested, this, &ClockSession::close);

    QAction* options = m_window.commands().action(Command::ShowOptions);
    options->setEnabled(true);
    connect(options, &QAction::triggered, this, [this] {
        if (!m_options) {
            m_options = std::make_unique<OptionsWindow>(
                m_window, m_timepiece, m_chimes, m_settings, m_roots, m_clock);
            connect(m_options.get(), &OptionsWindow::settingsChanged, &m_window,
                &ClockWindow::settingsChanged);
        }
        m_options->open();
    });
    DateTimeSettings::connect(m_window.commands().action(Command::ChangeTime));

    QAction* about = m_window.commands().action(Command::ShowAbout);
    connect(about, &QAction::triggered, this, [this] {
        if (!m_about)
            m_about = std::make_unique<AboutWindow>(m_timepiece, m_settings, m_random, m_clock);
        m_about->open(&m_window);
    });
    about->setEnabled(true);
}

ClockSession::~ClockSession() = default;

void ClockSession::start()
{
    if (m_store)
        m_settings = loadSettings(*m_store);
    m_window.move(m_settings.position);
    m_window.activateSkin(m_settings.skin);
    m_chimes.activatePack(m_settings.soundPack);
    m_window.start();
    if (m_settings.showWorldTime)
        m_worldTime.open();
}

void ClockSession::close()
{
    if (m_closing)
        return;
    m_closing = true;
    qCInfo(lcMain) << "closing";
    m_window.shutDown();
    if (m_store) {
        // A save still waiting for its moment is this one.
        if (m_saver.isPending())
            m_saver.flush();
        else
            save();
    }
    emit closed();
}

void ClockSession::save()
{
    if (!m_store)
        return;
    m_settings.position = m_window.savedPosition();
    m_settings.showWorldTime = m_worldTime.isVisible();
    m_settings.worldTimePosition = m_worldTime.savedPosition();
    m_settings.skin = m_timepiece.skinName();
    m_settings.soundPack = m_chimes.packName();
    saveSettings(*m_store, m_settings);
}
