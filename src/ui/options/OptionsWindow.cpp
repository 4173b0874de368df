#include "ui/options/OptionsWindow.h"

#include "core/base/Logging.h"
#include "core/chimes/Chimes.h"
#include "core/face/Timepiece.h"
#include "core/files/Roots.h"
#include "core/options/SpeedSlider.h"
#include "core/settings/Autostart.h"
#include "core/settings/UserSettings.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/clock/TrayIcon.h"
#include "ui/install/Installations.h"
#include "ui/options/SpeedSliderWidget.h"
#include "ui/options/WorldTimePage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimeEdit>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>

#include <functional>

namespace {

const QColor stripColour(206, 206, 206);
const QColor stripLineColour(163, 163, 163);
const QColor pageColour(192, 192, 192);
const QColor chosenTabColour(0, 0, 0);
const QColor otherTabColour(128, 128, 128);
const QColor okBackdropColour(224, 224, 224);

// Two milliseconds of the slide a step: a fast Speed slides in many small steps, and takes
// longer (Speed 88, some 130 steps, about a quarter of a second).
constexpr int slideStepMs = 2;

struct Tab {
    QString caption;
    QString tip;
};
const Tab tabs[] = { { QStringLiteral("Skin"), {} },
    { QStringLiteral("Chimes"), QStringLiteral("Chimes Options") },
    { QStringLiteral("Freaks"), QStringLiteral("Misc. Options") },
    { QStringLiteral("WTT"), QStringLiteral("World Time Table Editor") } };

// The tab strip: each caption black when its page is the chosen one, grey otherwise.
class TabStrip final : public QWidget {
public:
    TabStrip(std::function<std::optional<int>()> chosen, std::function<void(int)> choose,
        QWidget* parent)
        : QWidget(parent)
        , m_chosen(std::move(chosen))
        , m_choose(std::move(choose))
    {
        setFixedHeight(fontMetrics().height() + 6);
    }

    QRect tabRect(int index) const
    {
        int left = 8;
        for (int i = 0; i < index; ++i)
            left += fontMetrics().horizontalAdvance(tabs[i].caption) + 14;
        return { left, 0, fontMetrics().horizontalAdvance(tabs[index].caption) + 14, height() };
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), stripColour);
        painter.setPen(stripLineColour);
        painter.drawLine(0, height() - 1, width(), height() - 1);
        const std::optional<int> chosen = m_chosen();
        for (int i = 0; i < OptionsWindow::PageCount; ++i) {
            const QRect at = tabRect(i);
            if (chosen == i) {
                // The chosen tab opens onto its page.
                painter.fillRect(at.adjusted(0, 2, 0, 0), pageColour);
                painter.setPen(stripLineColour);
                painter.drawLine(at.topLeft() + QPoint(0, 2), at.bottomLeft());
                painter.drawLine(at.topLeft() + QPoint(0, 2), at.topRight() + QPoint(0, 2));
                painter.drawLine(at.topRight() + QPoint(0, 2), at.bottomRight());
            }
            painter.setPen(chosen == i ? chosenTabColour : otherTabColour);
            painter.drawText(at.adjusted(0, 2, 0, 0), Qt::AlignCenter, tabs[i].caption);
        }
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        for (int i = 0; i < OptionsWindow::PageCount; ++i) {
            if (event->button() == Qt::LeftButton && tabRect(i).contains(event->pos()))
                m_choose(i);
        }
    }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            QString tip;
            for (int i = 0; i < OptionsWindow::PageCount; ++i) {
                if (tabRect(i).contains(help->pos()))
                    tip = tabs[i].tip;
            }
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, this);
            return true;
        }
        return QWidget::event(event);
    }

private:
    std::function<std::optional<int>()> m_chosen;
    std::function<void(int)> m_choose;
};

// Where the pages slide; with none chosen yet it shows a picture of its own.
class PageArea final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), pageColour);
        const QIcon icon = TrayIcon::clockIcon();
        const int side = 32;
        const QRect iconAt((width() - side) / 2, height() / 2 - side, side, side);
        icon.paint(&painter, iconAt);
        painter.setPen(otherTabColour);
        painter.drawText(QRect(0, iconAt.bottom() + 4, width(), fontMetrics().height()),
            Qt::AlignHCenter, QStringLiteral("Choose a tab above"));
    }
};

// The bar along the bottom with its "OK".
class OkBar final : public QWidget {
public:
    OkBar(std::function<void()> ok, QWidget* parent)
        : QWidget(parent)
        , m_ok(std::move(ok))
    {
        setFixedHeight(fontMetrics().height() + 12);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), stripColour);
        painter.setPen(stripLineColour);
        painter.drawLine(0, 0, width(), 0);
        const QString caption = QStringLiteral("OK");
        const QSize text(fontMetrics().horizontalAdvance(caption), fontMetrics().height());
        const QRect backdrop((width() - text.width() - 36) / 2, (height() - text.height() - 6) / 2,
            text.width() + 36, text.height() + 6);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(okBackdropColour);
        painter.setPen(stripLineColour);
        painter.drawRoundedRect(QRectF(backdrop).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        // Black, as white on the light backdrop would hardly read and look switched off.
        painter.setPen(chosenTabColour);
        painter.drawText(backdrop, Qt::AlignCenter, caption);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->pos()))
            m_ok();
    }

private:
    std::function<void()> m_ok;
};

// Every page: grey, hidden until chosen.
QWidget* styledPage(QWidget* page)
{
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, pageColour);
    page->setPalette(palette);
    // A click on a page's labels or background takes the focus from a list, so that the
    // window's keys work again.
    page->setFocusPolicy(Qt::ClickFocus);
    page->hide();
    return page;
}

QWidget* newPage(QWidget* area)
{
    return styledPage(new QWidget(area));
}

QCheckBox* newBox(const char* name, const QString& caption, const QString& tip, QWidget* page)
{
    auto* box = new QCheckBox(caption, page);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    return box;
}

} // namespace

OptionsWindow::OptionsWindow(UserSettings& settings, const Timepiece& timepiece, const Roots& roots,
    const Clock& time, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_timepiece(timepiece)
    , m_roots(roots)
{
    setObjectName(QStringLiteral("options"));
    setWindowTitle(QStringLiteral("The Options"));
    setWindowIcon(TrayIcon::clockIcon());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_tabs = new TabStrip(
        [this] { return m_walk.selected(); }, [this](int page) { selectPage(page); }, this);
    m_area = new PageArea(this);
    // The area itself holds the focus when no control has it, so that the keys walk the pages.
    m_area->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_tabs);
    layout->addWidget(m_area);
    layout->addWidget(new OkBar([this] { close(); }, this));

    m_worldTimes = new ::WorldTimePage(settings, time, m_area);
    m_pages = { makeSkinPage(), makeChimesPage(), makeFreaksPage(), styledPage(m_worldTimes) };
    // Wide enough for the title "The Options" beside the window manager's buttons.
    QSize size(280, 77);
    for (QWidget* page : m_pages)
        size = size.expandedTo(page->sizeHint());
    size = size.expandedTo(QSize(static_cast<TabStrip*>(m_tabs)->tabRect(3).right() + 8, 0));
    m_area->setFixedSize(size);
    for (QWidget* page : m_pages)
        page->setGeometry(QRect(QPoint(size.width(), 0), size));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    m_slideTimer.setInterval(DesktopIntegration::refreshPeriodMs(this));
    connect(&m_slideTimer, &QTimer::timeout, this, &OptionsWindow::slideStep);
}

QWidget* OptionsWindow::makeSkinPage()
{
    QWidget* page = newPage(m_area);
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Skin:"), page), 0, 0);
    m_skins = new QComboBox(page);
    m_skins->setObjectName(QStringLiteral("skins"));
    m_skins->setMinimumContentsLength(16);
    m_skins->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    grid->addWidget(m_skins, 0, 1);
    m_removeSkin = addInstallButtons(page, InstallKind::Skin, m_skins);
    m_randomSkin = newBox("randomSkin", QStringLiteral("Select Random Skin"),
        QStringLiteral("Select random Skin Every Hour"), page);
    grid->addWidget(m_randomSkin, 1, 0, 1, 2);
    m_skinInfo = new QLabel(QStringLiteral("About Skin"), page);
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
    return page;
}

// "Install..." and "Remove" beside a list: the one chooses archives or folders to install, the
// other removes the entry chosen when it is the user's own. Either page takes drops too.
QPushButton* OptionsWindow::addInstallButtons(QWidget* page, InstallKind kind, QComboBox* list)
{
    const bool skins = kind == InstallKind::Skin;
    auto* install = new QPushButton(QStringLiteral("Install..."), page);
    auto* remove = new QPushButton(QStringLiteral("Remove"), page);
    install->setObjectName(skins ? QStringLiteral("installSkin") : QStringLiteral("installPack"));
    remove->setObjectName(skins ? QStringLiteral("removeSkin") : QStringLiteral("removePack"));
    install->setToolTip(QStringLiteral("Install skins and sound packs from downloads"));
    remove->setToolTip(skins ? QStringLiteral("Remove this skin (your own only)")
                             : QStringLiteral("Remove this sound pack (your own only)"));
    static_cast<QGridLayout*>(page->layout())->addWidget(install, 0, 2);
    static_cast<QGridLayout*>(page->layout())->addWidget(remove, 0, 3);
    page->setAcceptDrops(true);
    connect(install, &QPushButton::clicked, this, [this] {
        const QString downloads
            = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        auto* dialog = new QFileDialog(this, QStringLiteral("Install skins and sound packs"),
            QFileInfo(downloads).isDir() ? downloads : QDir::homePath());
        dialog->setObjectName(QStringLiteral("installFiles"));
        dialog->setFileMode(QFileDialog::ExistingFiles);
        dialog->setNameFilters({ QStringLiteral("Skins and sound packs (*.zip *.rar *.7z *.tar "
                                                "*.tar.gz *.tgz *.tar.bz2 *.tbz2 *.tar.xz *.txz)"),
            QStringLiteral("All files (*)") });
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::filesSelected, this, &OptionsWindow::installRequested);
        dialog->open();
    });
    connect(remove, &QPushButton::clicked, this,
        [this, kind, list] { this->remove(kind, list->currentText()); });
    connect(
        list, &QComboBox::currentTextChanged, remove, [this, kind, remove](const QString& name) {
            remove->setEnabled(Installer(m_roots).isUsers(kind, name));
        });
    remove->setEnabled(false);
    return remove;
}

void OptionsWindow::remove(InstallKind kind, const QString& name)
{
    if (!Installer(m_roots).isUsers(kind, name))
        return;
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Horolan"),
        QStringLiteral("Remove the %1 \"%2\"? Its folder is deleted.")
            .arg(Installer::kindText(kind), name),
        QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("removeQuestion"));
    QPushButton* yes = box->addButton(QStringLiteral("Remove"), QMessageBox::DestructiveRole);
    box->setDefaultButton(QMessageBox::Cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, yes, kind, name] {
        if (box->clickedButton() != yes)
            return;
        // The one in use gives way first: the built-in skin, the skin's own chimes.
        if (kind == InstallKind::Skin && m_settings->skin.compare(name, Qt::CaseInsensitive) == 0)
            m_settings.set(&Settings::skin, builtInSkinName);
        if (kind == InstallKind::SoundPack
            && m_settings->soundPack.compare(name, Qt::CaseInsensitive) == 0)
            m_settings.set(&Settings::soundPack, Chimes::skinChoice);
        if (const QString why = Installer(m_roots).remove(kind, name); !why.isEmpty())
            qCWarning(lcInstall).noquote() << why;
        showLists();
    });
    box->open();
}

QWidget* OptionsWindow::makeChimesPage()
{
    QWidget* page = newPage(m_area);
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Sound Pack:"), page), 0, 0);
    m_packs = new QComboBox(page);
    m_packs->setObjectName(QStringLiteral("packs"));
    m_packs->setMinimumContentsLength(12);
    m_packs->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    grid->addWidget(m_packs, 0, 1);
    m_removePack = addInstallButtons(page, InstallKind::SoundPack, m_packs);
    m_useChimes = newBox("useChimes", QStringLiteral("Use Chimes"),
        QStringLiteral("Play Chime every round hour (Skinable)"), page);
    grid->addWidget(m_useChimes, 1, 0, 1, 2);
    m_countChimes = newBox("countChimes", QStringLiteral("Use Count"),
        QStringLiteral("Allow chimes to be played as many times as the hour (Skinable)"), page);
    grid->addWidget(m_countChimes, 2, 0, 1, 2);

    // Considerate chimes: the hours and moments the hourly chime keeps still, and its volume.
    auto* quiet = new QHBoxLayout;
    m_quietHours = newBox("quietHours", QStringLiteral("Quiet at night"),
        QStringLiteral("No hourly chime between these times; C still plays it"), page);
    m_quietFrom = new QTimeEdit(page);
    m_quietTo = new QTimeEdit(page);
    m_quietFrom->setObjectName(QStringLiteral("quietFrom"));
    m_quietTo->setObjectName(QStringLiteral("quietTo"));
    for (QTimeEdit* edit : { m_quietFrom, m_quietTo })
        edit->setDisplayFormat(QStringLiteral("HH:mm"));
    quiet->addWidget(m_quietHours);
    quiet->addWidget(m_quietFrom);
    quiet->addWidget(new QLabel(QStringLiteral("to"), page));
    quiet->addWidget(m_quietTo);
    quiet->addStretch(1);
    grid->addLayout(quiet, 3, 0, 1, 2);
    m_quietLocked
        = newBox("quietWhenLocked", QStringLiteral("Quiet while the screen is locked"), {}, page);
    m_quietDoNotDisturb = newBox("quietWhenDoNotDisturb",
        QStringLiteral("Quiet when the desktop says do not disturb"), {}, page);
    m_quietFullScreen
        = newBox("quietWhenFullScreen", QStringLiteral("Quiet while a window is full screen"),
            QStringLiteral("A video, a presentation or a game"), page);
    grid->addWidget(m_quietLocked, 4, 0, 1, 2);
    grid->addWidget(m_quietDoNotDisturb, 5, 0, 1, 2);
    grid->addWidget(m_quietFullScreen, 6, 0, 1, 2);
    auto* volume = new QHBoxLayout;
    m_volume = new QSlider(Qt::Horizontal, page);
    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setRange(0, 100);
    m_volume->setPageStep(10);
    m_volume->setToolTip(QStringLiteral("The chimes' own volume"));
    m_volumeValue = new QLabel(page);
    m_volumeValue->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    volume->addWidget(new QLabel(QStringLiteral("Volume"), page));
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
    return page;
}

QWidget* OptionsWindow::makeFreaksPage()
{
    QWidget* page = newPage(m_area);
    auto* grid = new QGridLayout(page);
    m_onTop = newBox("onTop", QStringLiteral("Always on top"), {}, page);
    m_twelveHour = newBox("twelveHour", QStringLiteral("AMPM"), {}, page);
    grid->addWidget(m_onTop, 0, 0);
    grid->addWidget(m_twelveHour, 1, 0);
    m_startAtLogin = newBox("startAtLogin", QStringLiteral("Start at login"),
        QStringLiteral("Starts the clock when you log in to the desktop"), page);
    grid->addWidget(m_startAtLogin, 2, 0);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    auto* caption = new QLabel(QStringLiteral("Speed"), page);
    m_speedValue = new QLabel(page);
    m_speedValue->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    grid->addWidget(caption, 0, 1);
    grid->addWidget(m_speedValue, 1, 1);
    m_speed = new SpeedSliderWidget(page);
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
    return page;
}

void OptionsWindow::open()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    DesktopIntegration::keepOnTop(this, m_settings->onTop);
    fill();
    // Closed and opened again, it starts afresh: no page chosen.
    m_slideTimer.stop();
    m_walk = PageWalk(PageCount);
    for (QWidget* page : m_pages) {
        page->hide();
        page->move(m_area->width(), 0);
    }
    m_tabs->update();
    show();
    raise();
    activateWindow();
    m_area->setFocus();
}

void OptionsWindow::showLists()
{
    const auto fillList = [](QComboBox* list, const QStringList& names, const QString& current) {
        list->clear();
        list->addItems(names);
        // A name not in the list leaves the special entry, first, chosen.
        list->setCurrentIndex(std::max(0, int(names.indexOf(current))));
    };
    fillList(m_skins, m_timepiece.skinChoices(), m_settings->skin);
    fillList(m_packs, QStringList { Chimes::skinChoice } + m_roots.list(QStringLiteral("Sounds")),
        m_settings->soundPack);
    showSkinInfo();
}

void OptionsWindow::fill()
{
    const Settings& settings = m_settings.values();
    showLists();
    m_randomSkin->setChecked(settings.randomSkin);
    m_useChimes->setChecked(settings.useChimes);
    m_twelveHour->setChecked(settings.twelveHour);
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
    m_onTop->setChecked(settings.onTop);
    m_startAtLogin->setChecked(Autostart::isOn());
    m_speedValue->setText(QString::number(SpeedSlider::shown(settings.speed)));
    m_speed->setSpeed(settings.speed);
    m_worldTimes->fill();
}

void OptionsWindow::showSkinInfo()
{
    const SkinInfo& info = m_timepiece.skin().info;
    m_skinInfo->setText(
        QStringLiteral("'%1' By %2, %3\n%4").arg(info.name, info.madeBy, info.date, info.comment));
}

void OptionsWindow::selectPage(int page)
{
    const PageWalk::Change change = m_walk.select(page);
    m_tabs->update();
    if (!change.changed)
        return;
    if (m_slideTimer.isActive()) {
        // A slide under way ends where it was going.
        m_slideTimer.stop();
        m_slide.clear();
        slideStep();
    }
    m_slidingOut = change.old ? m_pages[*change.old] : nullptr;
    m_slidingIn = m_pages[page];
    m_slidingIn->show();
    m_slide = PageWalk::slide(width(), m_area->width(), m_settings->speed);
    qCDebug(lcMain) << "options page" << page << "in" << m_slide.size() << "steps";
    m_slideClock.start();
    if (m_slide.isEmpty())
        slideStep();
    else
        m_slideTimer.start();
}

void OptionsWindow::slideStep()
{
    const qsizetype step = m_slideClock.elapsed() / slideStepMs;
    if (step < m_slide.size()) {
        const int x = int(m_slide[step]);
        if (m_slidingOut)
            m_slidingOut->move(x, 0);
        m_slidingIn->move(x - width(), 0);
        return;
    }
    m_slideTimer.stop();
    if (m_slidingOut) {
        m_slidingOut->move(m_area->width(), 0);
        m_slidingOut->hide();
    }
    if (m_slidingIn)
        m_slidingIn->move(0, 0);
    m_slidingOut = m_slidingIn = nullptr;
}

bool OptionsWindow::handleKey(const QKeyEvent* event)
{
    // An open list's popup keeps its keys.
    if (event->modifiers() & ~Qt::KeypadModifier || QApplication::activePopupWidget())
        return false;
    // A list or a field takes every key itself: Escape closing a list's popup must not close the
    // window too.
    const QWidget* focus = focusWidget();
    if (qobject_cast<const QComboBox*>(focus) || qobject_cast<const QListView*>(focus)
        || qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus)
        || qobject_cast<const QSlider*>(focus))
        return false;
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return true;
    case Qt::Key_Left:
        selectPage(m_walk.before());
        return true;
    case Qt::Key_Right:
        selectPage(m_walk.after());
        return true;
    default:
        return false;
    }
}

bool OptionsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::DragEnter || event->type() == QEvent::Drop)
        && (watched == m_pages.value(SkinPage) || watched == m_pages.value(ChimesPage))) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = Installations::droppedFiles(drop->mimeData());
        if (files.isEmpty())
            return false;
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop)
            emit installRequested(files);
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (handleKey(key))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void OptionsWindow::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}
