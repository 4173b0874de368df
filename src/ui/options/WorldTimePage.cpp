#include "ui/options/WorldTimePage.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/settings/UserSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QVBoxLayout>

WorldTimePage::WorldTimePage(UserSettings& settings, const Clock& clock, QWidget* parent)
    : OptionsPage(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_editor(clock.now())
{
    // One above the other, so that the selector shows zone names whole.
    auto* column = new QVBoxLayout(this);
    m_zones = new QComboBox(this);
    m_zones->setObjectName(QStringLiteral("zones"));
    m_zones->setToolTip(QStringLiteral("Select Timezone (GMT) and press Enter to add"));
    m_zones->setPlaceholderText(QStringLiteral("Zone"));
    // Placeholders and tool tips are no names to a screen reader.
    m_zones->setAccessibleName(QStringLiteral("Zone"));
    m_zones->addItems(m_editor.choiceLabels());
    m_zones->setMinimumContentsLength(8);
    m_zones->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_zones->view()->setMinimumWidth(m_zones->view()->sizeHintForColumn(0) + 24);
    column->addWidget(m_zones);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("zoneName"));
    m_name->setToolTip(QStringLiteral("Timezone Name, To add press Enter"));
    m_name->setPlaceholderText(QStringLiteral("Name"));
    m_name->setAccessibleName(QStringLiteral("Name"));
    column->addWidget(m_name);
    m_entries = new QListWidget(this);
    m_entries->setObjectName(QStringLiteral("entries"));
    m_entries->setToolTip(QStringLiteral("To Delete, Select and press Del."));
    m_entries->setSelectionMode(QAbstractItemView::SingleSelection);
    m_entries->setAccessibleName(QStringLiteral("World Time Table"));
    // At least three rows, and the rest of the page, which the other pages size.
    m_entries->setMinimumHeight(
        m_entries->fontMetrics().height() * 3 + 2 * m_entries->frameWidth());
    m_entries->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    column->addWidget(m_entries, 1);
    watchKeys();
}

void WorldTimePage::fill()
{
    m_zones->setCurrentIndex(-1);
    m_name->clear();
    showEntries();
}

bool WorldTimePage::pageKey(QObject* watched, const QKeyEvent* key)
{
    // An open list's popup keeps its keys.
    if (key->modifiers() & ~Qt::KeypadModifier || QApplication::activePopupWidget())
        return false;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && (watched == m_zones || watched == m_name))
        return add() || true;
    if (key->key() == Qt::Key_Delete && watched == m_entries)
        return removeSelected() || true;
    return false;
}

bool WorldTimePage::add()
{
    QList<WorldTimeEntry> table = m_settings->worldTimes;
    if (!m_editor.add(table, m_zones->currentIndex(), m_name->text(), m_clock.now())) {
        qCDebug(lcWorldTime) << "no zone chosen: nothing added";
        emit dingRequested();
        return false;
    }
    m_settings.set(&Settings::worldTimes, table);
    m_zones->setCurrentIndex(-1);
    m_name->clear();
    showEntries();
    m_entries->scrollToBottom();
    return true;
}

bool WorldTimePage::removeSelected()
{
    const QModelIndexList rows = m_entries->selectionModel()->selectedRows();
    QList<WorldTimeEntry> table = m_settings->worldTimes;
    if (rows.isEmpty() || !WorldTimeEditor::remove(table, rows.first().row()))
        return false;
    m_settings.set(&Settings::worldTimes, table);
    showEntries();
    m_entries->scrollToBottom();
    return true;
}

// The table's rows, none selected.
void WorldTimePage::showEntries()
{
    m_entries->clear();
    m_entries->addItems(WorldTimeEditor::listTexts(m_settings->worldTimes, m_clock.now()));
}
