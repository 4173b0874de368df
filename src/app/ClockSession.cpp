#include "app/ClockSession.h"

#include "core/base/Logging.h"
#include "core/chimes/SoundOutput.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsStore.h"
#include "ui/about/AboutWindow.h"
#include "ui/audio/SoundLoader.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/clock/DesktopNotice.h"
#include "ui/commands/DateTimeSettings.h"

#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

#include <algorithm>

ClockSession::ClockSession(
    const Clock& clock, SettingsStore* store, Roots roots, std::function<SoundOutput&()> makeOutput)
    : m_clock(clock)
    , m_store(store)
    , m_roots(std::move(roots))
    , m_output(makeOutput ? std::move(makeOutput)
                          : std::function<SoundOutput&()>([this]() -> SoundOutput& {
                                if (!m_sound)
                                    m_sound = SoundLoader::load();
                                return *m_sound;
                            }))
    , m_timepiece(clock, m_random, m_roots, m_settings.values())
    , m_chimes(clock, m_random, m_roots, m_settings.values(), m_output)
    , m_busy(clock, m_settings.values())
    , m_window(m_timepiece, m_chimes, m_settings, clock, m_commands, m_menu)
    , m_worldTime(m_settings, m_timepiece, clock, m_random, m_commands, m_menu)
    , m_saver([this] { save(); })
    , m_installs(m_roots, m_window.tray())
{
    m_chimes.setBusyCheck([this] { return m_busy.reason(); });
    connect(&m_chimes, &Chimes::hourApproaching, &m_busy, &BusyDesktop::refresh);
    connect(&m_settings, &UserSettings::changed, this, &ClockSession::apply);
    // The wall clock set, the computer woken or the zone changed: the world time window draws and
    // wakes anew.
    connect(&m_window, &ClockWindow::wallClockChanged, &m_worldTime, &WorldTimeWindow::refresh);
    // However a skin came (chosen, or at random on the hour), the setting names it and the world
    // time window takes it.
    connect(&m_window, &ClockWindow::skinActivated, this, [this] {
        m_settings.set(&Settings::skin, m_timepiece.skinName());
        if (m_worldTime.isVisible())
            m_worldTime.updateSkin();
    });
    connectCommands();

    connect(&m_window, &ClockWindow::filesDropped, this,
        [this](const QStringList& paths) { install(paths, Conflict::Ask); });
    // A question about a name goes over the window the user is looking at.
    m_installs.setQuestionParent([this]() -> QWidget* {
        return m_options && m_options->isVisible() ? static_cast<QWidget*>(m_options.get())
                                                   : &m_window;
    });
    connect(&m_installs, &Installations::finished, this, &ClockSession::activateInstalled);
}

ClockSession::~ClockSession() = default;

void ClockSession::connectCommands()
{
    const auto on = [this](Command command, auto handler) {
        connect(m_commands.action(command), &QAction::triggered, this, handler);
    };
    on(Command::ShowAbout, [this] { showAbout(); });
    on(Command::Close, [this] { close(); });
    on(Command::StopChime, [this] { m_chimes.stop(); });
    // Under the window the key was pressed in.
    on(Command::ShowMenu, [this] {
        (m_worldTime.isActiveWindow() ? static_cast<DraggableWindow&>(m_worldTime) : m_window)
            .popUpMenuBelow();
    });
    on(Command::ToggleVisible, [this] {
        m_window.toggleVisible();
        if (!m_window.isVisible())
            explainWayBack(m_hiddenExplained,
                QStringLiteral("The clock is hidden. Start Horolan again to bring it back."));
    });
    on(Command::Chime, [this] { m_window.chimeNow(); });
    on(Command::ChangeBackground, [this] { m_window.changeBackground(); });
    on(Command::ShowOptions, [this] { showOptions(); });
    on(Command::ToggleWorldTime,
        [this] { m_settings.set(&Settings::showWorldTime, !m_settings->showWorldTime); });
    on(Command::ToggleScroll, [this] { m_settings.set(&Settings::scroll, !m_settings->scroll); });
    on(Command::ToggleLock,
        [this] { m_settings.set(&Settings::lockPosition, !m_settings->lockPosition); });
    on(Command::UnlockPosition, [this] { m_settings.set(&Settings::lockPosition, false); });
    on(Command::ToggleClickThrough, [this](bool pass) {
        if (!pass || askClickThrough())
            m_settings.set(&Settings::clickThrough, pass);
        stayOutOfTheWay(); // the item shows the setting, whatever was answered
    });
    DateTimeSettings::connect(m_commands.action(Command::ChangeTime));

    for (const Command item :
        { Command::UnlockPosition, Command::ChangeTime, Command::ToggleWorldTime,
            Command::ToggleClickThrough, Command::ShowOptions, Command::Close })
        m_menu.addAction(m_commands.action(item));
    m_menu.addSeparator();
    m_menu.addAction(m_commands.action(Command::ShowAbout));
}

void ClockSession::showOptions()
{
    if (!m_options) {
        m_options = std::make_unique<OptionsWindow>(m_settings, m_timepiece, m_roots, m_clock);
        connect(m_options.get(), &OptionsWindow::installRequested, this,
            [this](const QStringList& paths) { install(paths, Conflict::Ask); });
        // The clock's own ding, at the chimes' volume, from the output the chimes use.
        connect(m_options.get(), &OptionsWindow::dingRequested, this, [this] {
            SoundOutput& output = m_output();
            output.setVolume(std::clamp(m_settings->chimeVolume, 0, 100) / 100.0);
            output.beep();
        });
    }
    m_options->open();
}

bool ClockSession::askClickThrough()
{
    if (m_clickThroughExplained || QSystemTrayIcon::isSystemTrayAvailable())
        return true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Horolan"),
        QStringLiteral("Clicks will pass through the clock to the windows below it, and there is "
                       "no tray to turn this off from.\n\nTo take clicks again, start Horolan "
                       "again, or open the options (horolan --options) and clear \"Click through\" "
                       "on the Freaks page."),
        QMessageBox::Cancel, &m_window);
    QPushButton* turnOn = box.addButton(QStringLiteral("Turn on"), QMessageBox::AcceptRole);
    box.setDefaultButton(turnOn);
    box.exec();
    m_clickThroughExplained = box.clickedButton() == turnOn;
    return m_clickThroughExplained;
}

void ClockSession::explainWayBack(bool& explained, const QString& text)
{
    if (explained || QSystemTrayIcon::isSystemTrayAvailable())
        return;
    explained = true;
    DesktopNotice::show(text, &m_window);
}

void ClockSession::stayOutOfTheWay()
{
    const bool pass = m_settings->clickThrough;
    m_commands.action(Command::ToggleClickThrough)->setChecked(pass);
    const qreal opacity = m_settings->opacity / 100.0;
    for (DraggableWindow* window :
        { static_cast<DraggableWindow*>(&m_window), static_cast<DraggableWindow*>(&m_worldTime) }) {
        window->passClicks(pass);
        // Drawn so by a compositor; without one the window stays opaque.
        window->setWindowOpacity(opacity);
    }
}

void ClockSession::bringForward()
{
    // A clock the mouse cannot reach is as good as lost: a second start gives it back.
    if (m_settings->clickThrough)
        qCInfo(lcMain) << "started again: clicks reach the clock again";
    m_settings.set(&Settings::clickThrough, false);
    m_window.bringForward();
}

void ClockSession::showAbout()
{
    if (!m_about)
        m_about
            = std::make_unique<AboutWindow>(m_timepiece, m_settings.values(), m_random, m_clock);
    m_about->open(&m_window);
}

void ClockSession::start()
{
    if (m_store)
        m_settings.replace(loadSettings(*m_store));
    m_window.move(m_settings->position);
    m_window.activateSkin(m_settings->skin);
    m_chimes.activatePack(m_settings->soundPack);
    stayOutOfTheWay();
    m_window.start();
    if (m_settings->showWorldTime)
        m_worldTime.open();
}

void ClockSession::install(const QStringList& paths, Conflict policy)
{
    m_installs.install(paths, policy);
}

void ClockSession::activateInstalled(const InstallReport& report)
{
    for (const InstallKind kind : { InstallKind::Skin, InstallKind::SoundPack }) {
        const auto first = std::find_if(report.installed.begin(), report.installed.end(),
            [kind](const InstallReport::Installed& item) { return item.kind == kind; });
        if (first == report.installed.end())
            continue;
        // One put in place of the active one is read afresh; its name, the setting, stays.
        if (kind == InstallKind::Skin && m_settings->skin == first->name) {
            m_timepiece.forgetSkin();
            m_window.activateSkin(first->name);
        } else if (kind == InstallKind::Skin) {
            m_settings.set(&Settings::skin, first->name);
        } else if (m_settings->soundPack == first->name) {
            m_chimes.forgetPack();
            m_chimes.activatePack(first->name);
        } else {
            m_settings.set(&Settings::soundPack, first->name);
        }
    }
    if (m_options)
        m_options->showLists();
}

void ClockSession::apply(Setting setting)
{
    switch (setting) {
    case Setting::Skin:
        m_window.activateSkin(m_settings->skin);
        break;
    case Setting::SoundPack:
        m_chimes.activatePack(m_settings->soundPack);
        break;
    case Setting::OnTop:
        keepWindowsOnTop();
        break;
    case Setting::TwelveHour:
        m_window.showTwelveHour();
        break;
    case Setting::LockPosition:
        m_window.showLock();
        break;
    case Setting::ClickThrough:
        stayOutOfTheWay();
        if (m_settings->clickThrough)
            explainWayBack(m_clickThroughExplained,
                QStringLiteral("Clicks now pass through the clock. Start Horolan "
                               "again, or run horolan --options, to take them again."));
        break;
    case Setting::Opacity:
        stayOutOfTheWay();
        break;
    case Setting::ShowWorldTime:
        if (m_settings->showWorldTime)
            m_worldTime.open();
        else
            m_worldTime.closeWindow();
        break;
    case Setting::WorldTimes:
    case Setting::Scroll:
        // The world time window draws and wakes anew: scrolling, or at the minute.
        m_worldTime.refresh();
        break;
    default: // read where they are used
        break;
    }
    if (m_store && !m_closing && !m_saving)
        m_saver.requestSave();
}

// Every window of the clock, the options window last so that it stays in front.
void ClockSession::keepWindowsOnTop()
{
    const bool onTop = m_settings->onTop;
    DesktopIntegration::keepOnTop(&m_window, onTop);
    DesktopIntegration::keepOnTop(&m_worldTime, onTop);
    if (m_about)
        DesktopIntegration::keepOnTop(m_about.get(), onTop);
    if (m_options) {
        DesktopIntegration::keepOnTop(m_options.get(), onTop);
        m_options->raise();
    }
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
    // A window manager may have moved a window without Qt knowing: the place saved is the real
    // one.
    m_saving = true;
    m_window.storePlace();
    m_worldTime.storePlace();
    m_saving = false;
    saveSettings(*m_store, m_settings.values());
}
