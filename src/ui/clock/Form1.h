#pragma once

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Random.h"
#include "core/files/Roots.h"
#include "core/face/ClockWindow.h"
#include "ui/clock/Dragging.h"
#include "ui/commands/HotKeys.h"
#include "core/face/Tick.h"
#include "ui/clock/TrayIcon.h"
#include "ui/clock/frmStuff.h"
#include "core/settings/SaveCoalescer.h"
#include "core/settings/SettingsInfo.h"
#include "core/skin/SkinEngine.h"
#include "core/chimes/ChimeEngine.h"
#include "core/skin/SkinWindow.h"

#include <QIcon>
#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <memory>

class SettingsStore;

// The clock: a borderless window cut to the outline of its picture. It owns the back buffer
// that the tick draws into (painting only blits it), the tray icon and the options window's menu,
// and it runs the start-up and closing sequences.
class Form1 final : public QWidget,
                    public ClockWindow,
                    public InfoWindow,
                    public SkinWindow,
                    public ChimeHost {
    Q_OBJECT

public:
    // Without a store nothing is loaded or saved (tests); without roots there are no skin folders.
    Form1(HorolanState& state, const Clock& clock, SettingsStore* store = nullptr,
        Roots roots = Roots({}), QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence: settings, on-top, menu, tray. The window is shown afterwards.
    void Form_Load();
    // The closing sequence: save, remove the tray icon, end the program. Runs once.
    void closeClock();
    // Shows the clock, keeping it off the task bar.
    void showClock();

    // ClockWindow
    int timerInterval() const override { return Timer1.interval(); }
    void setTimerInterval(int ms) override { Timer1.setInterval(ms); }
    QString timerTag() const override { return m_timerTag; }
    QImage& faceBuffer() override;
    void faceDrawn() override { update(); }
    const QImage& tempBack() const override { return m_tempBackScaled; }
    void SetTrayTip(const QString& tip) override;
    void ChangeBack(std::uint8_t hur, bool anyWay) override;
    void PlayChime(std::uint8_t hur, bool playAnyWay) override;

    // InfoWindow (positions in twips)
    double topTwips() const override;
    double leftTwips() const override;
    void setTopTwips(double twips) override;
    void setLeftTwips(double twips) override;
    bool worldTimeVisible() const override { return false; }
    void showWorldTime() override;
    void ActivateSkin(const QString& name) override;
    void ActivateSP(const QString& name) override;

    // SkinWindow
    void setPicture(const QImage& picture) override;
    void setOutline(const QRegion& region, QRgb key) override;
    QRect windowGeometry() const override { return geometry(); }
    void moveWindow(QPoint topLeft) override { move(topLeft); }
    void resizeWindow(QSize size) override { setFixedSize(size); }
    QRect screenGeometry() const override;
    void setTimerTag(const QString& tag) override { m_timerTag = tag; }
    void runTick() override { Timer1_Timer(); }
    void setBusy(bool busy) override;

    // ChimeHost
    void processEvents() override;
    bool closing() const override { return m_closing; }

    // Puts any window of the clock above the others, or not, keeping its place and visibility.
    static void AlwaysOnTop(QWidget* frmForm, bool fOnTop);

    // The tick: draws the face on the current picture and raises the hour events.
    void Timer1_Timer() { m_tick.Timer1_Timer(); }

    // Applies the built-in skin completely: values, picture, outline, size, on screen.
    void ActivateDefSkin(bool onlyValues) { m_skins.ActivateDefSkin(onlyValues); }

    const QRegion& outline() const { return m_outline; }
    bool isClosing() const { return m_closing; }
    frmStuff& stuff() { return m_stuff; }
    TrayIcon& tray() { return m_tray; }
    SkinEngine& skins() { return m_skins; }
    ChimeEngine& chimes() { return m_chimes; }
    QTimer Timer1;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void runHotKey(HotKeys::Action action);
    void setLockPos(bool locked);
    void toggleVisible();
    void popupMenu(QPoint globalPos);
    void requestSave();
    void saveInfo();
    void syncPosition();
    void remakeBuffer();
    QList<QRect> screenRects() const;

    HorolanState& m_state;
    const Clock& m_clock;
    SettingsStore* m_store;
    Roots m_roots;
    Random m_random;
    Tick m_tick;
    SkinEngine m_skins;
    std::unique_ptr<SoundOutput> m_sound;
    ChimeEngine m_chimes;
    frmStuff m_stuff;
    TrayIcon m_tray;
    QIcon imgIcon;
    QString m_lastTip;
    WindowDrag m_drag;
    SaveCoalescer m_saver;
    bool m_closing = false;
    QString m_timerTag;
    QImage imgTempBack; // the current background, at its own pixel size
    QImage m_tempBackScaled; // the same at the screen's device-pixel ratio
    QRgb m_key = 0xffff00ff; // the transparent colour of the outline
    bool m_firstFrameLogged = false;
    bool m_outlineApplied = false;
    QImage m_buffer;
    QRegion m_outline;
};
