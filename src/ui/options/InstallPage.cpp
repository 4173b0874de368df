#include "ui/options/InstallPage.h"

#include "core/base/Logging.h"
#include "core/chimes/Chimes.h"
#include "core/face/Timepiece.h"
#include "core/settings/UserSettings.h"
#include "ui/install/Installations.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

InstallPage::InstallPage(
    InstallKind kind, UserSettings& settings, const Roots& roots, QWidget* parent)
    : OptionsPage(parent)
    , m_settings(settings)
    , m_roots(roots)
    , m_kind(kind)
{
    setAcceptDrops(true);
}

// "Install..." chooses archives or folders to install, "Remove" removes the entry chosen when it
// is the user's own.
QComboBox* InstallPage::addListRow(
    QGridLayout* grid, const QString& caption, const char* name, int length)
{
    auto* label = new QLabel(caption, this);
    grid->addWidget(label, 0, 0);
    auto* list = new QComboBox(this);
    // A screen reader names the list by its caption.
    label->setBuddy(list);
    list->setObjectName(QLatin1String(name));
    list->setMinimumContentsLength(length);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    grid->addWidget(list, 0, 1);
    const bool skins = m_kind == InstallKind::Skin;
    auto* install = new QPushButton(QStringLiteral("Install..."), this);
    auto* remove = new QPushButton(QStringLiteral("Remove"), this);
    install->setObjectName(skins ? QStringLiteral("installSkin") : QStringLiteral("installPack"));
    remove->setObjectName(skins ? QStringLiteral("removeSkin") : QStringLiteral("removePack"));
    install->setToolTip(QStringLiteral("Install skins and sound packs from downloads"));
    remove->setToolTip(skins ? QStringLiteral("Remove this skin (your own only)")
                             : QStringLiteral("Remove this sound pack (your own only)"));
    grid->addWidget(install, 0, 2);
    grid->addWidget(remove, 0, 3);
    connect(install, &QPushButton::clicked, this, [this] {
        const QString downloads
            = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        auto* dialog = new QFileDialog(window(), QStringLiteral("Install skins and sound packs"),
            QFileInfo(downloads).isDir() ? downloads : QDir::homePath());
        dialog->setObjectName(QStringLiteral("installFiles"));
        dialog->setFileMode(QFileDialog::ExistingFiles);
        dialog->setNameFilters({ QStringLiteral("Skins and sound packs (*.zip *.rar *.7z *.tar "
                                                "*.tar.gz *.tgz *.tar.bz2 *.tbz2 *.tar.xz *.txz)"),
            QStringLiteral("All files (*)") });
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::filesSelected, this, &InstallPage::installRequested);
        dialog->open();
    });
    connect(
        remove, &QPushButton::clicked, this, [this, list] { this->remove(list->currentText()); });
    connect(list, &QComboBox::currentTextChanged, remove, [this, remove](const QString& entry) {
        remove->setEnabled(Installer(m_roots).isUsers(m_kind, entry));
    });
    remove->setEnabled(false);
    return list;
}

void InstallPage::fillList(QComboBox* list, const QStringList& names, const QString& current)
{
    list->clear();
    list->addItems(names);
    list->setCurrentIndex(std::max(0, int(names.indexOf(current))));
}

void InstallPage::remove(const QString& name)
{
    if (!Installer(m_roots).isUsers(m_kind, name))
        return;
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Horolan"),
        QStringLiteral("Remove the %1 \"%2\"? Its folder is deleted.")
            .arg(Installer::kindText(m_kind), name),
        QMessageBox::Cancel, window());
    box->setObjectName(QStringLiteral("removeQuestion"));
    QPushButton* yes = box->addButton(QStringLiteral("Remove"), QMessageBox::DestructiveRole);
    box->setDefaultButton(QMessageBox::Cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, yes, name] {
        if (box->clickedButton() != yes)
            return;
        // The one in use gives way first: the built-in skin, the skin's own chimes.
        if (m_kind == InstallKind::Skin && m_settings->skin.compare(name, Qt::CaseInsensitive) == 0)
            m_settings.set(&Settings::skin, builtInSkinName);
        if (m_kind == InstallKind::SoundPack
            && m_settings->soundPack.compare(name, Qt::CaseInsensitive) == 0)
            m_settings.set(&Settings::soundPack, Chimes::skinChoice);
        if (const QString why = Installer(m_roots).remove(m_kind, name); !why.isEmpty())
            qCWarning(lcInstall).noquote() << why;
        showList();
    });
    box->open();
}

void InstallPage::dragEnterEvent(QDragEnterEvent* event)
{
    takeDrop(event);
}

void InstallPage::dropEvent(QDropEvent* event)
{
    takeDrop(event);
}

// Files or folders are taken, anything else left to the desktop.
void InstallPage::takeDrop(QDropEvent* event)
{
    const QStringList files = Installations::droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        emit installRequested(files);
}
