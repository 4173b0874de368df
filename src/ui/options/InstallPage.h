#pragma once

#include "core/install/Installer.h"
#include "ui/options/OptionsPage.h"

class QComboBox;
class QGridLayout;
class QPushButton;
class Roots;
class UserSettings;

// A page with a list of skins or sound packs: "Install..." and "Remove" beside it, and drops of
// files or folders to install.
class InstallPage : public OptionsPage {
    Q_OBJECT

public:
    InstallPage(InstallKind kind, UserSettings& settings, const Roots& roots, QWidget* parent);

    // The entries there are now, the active one chosen.
    virtual void showList() = 0;

signals:
    // Files or folders to install: dropped on the page, or chosen by "Install...".
    void installRequested(const QStringList& paths);

protected:
    // The grid's first row: the caption, the list (named name, wide enough for length
    // characters), "Install..." and "Remove".
    QComboBox* addListRow(QGridLayout* grid, const QString& caption, const char* name, int length);
    // A name not in the list leaves the special entry, first, chosen.
    static void fillList(QComboBox* list, const QStringList& names, const QString& current);
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    UserSettings& m_settings;
    const Roots& m_roots;

private:
    void remove(const QString& name);
    void takeDrop(QDropEvent* event);

    InstallKind m_kind;
};
