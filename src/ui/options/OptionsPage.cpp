#include "ui/options/OptionsPage.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QSlider>

#include <utility>

OptionsPage::OptionsPage(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, pageColour);
    setPalette(colours);
    // A click on a page's labels or background takes the focus from a list, so that the
    // window's keys work again.
    setFocusPolicy(Qt::ClickFocus);
    hide();
}

OptionsPage::WindowKey OptionsPage::windowKeyFor(const QKeyEvent* event, const QWidget* focus)
{
    // An open list's popup keeps its keys.
    if (event->modifiers() & ~Qt::KeypadModifier || QApplication::activePopupWidget())
        return WindowKey::None;
    // A list or a field takes every key itself: Escape closing a list's popup must not close the
    // window too.
    if (qobject_cast<const QComboBox*>(focus) || qobject_cast<const QListView*>(focus)
        || qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus)
        || qobject_cast<const QSlider*>(focus))
        return WindowKey::None;
    const std::pair<int, WindowKey> meanings[] = { { Qt::Key_Escape, WindowKey::Close },
        { Qt::Key_Return, WindowKey::Close }, { Qt::Key_Enter, WindowKey::Close },
        { Qt::Key_Left, WindowKey::Before }, { Qt::Key_Right, WindowKey::After } };
    for (const auto& [key, meaning] : meanings) {
        if (event->key() == key)
            return meaning;
    }
    return WindowKey::None;
}

void OptionsPage::watchKeys()
{
    installEventFilter(this);
    for (QWidget* control : findChildren<QWidget*>())
        control->installEventFilter(this);
}

bool OptionsPage::pageKey(QObject*, const QKeyEvent*)
{
    return false;
}

bool OptionsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (pageKey(watched, key))
        return true;
    const WindowKey meant = windowKeyFor(key, window()->focusWidget());
    if (meant == WindowKey::None)
        return false;
    emit windowKey(meant);
    return true;
}

QCheckBox* OptionsPage::newBox(const char* name, const QString& caption, const QString& tip)
{
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    return box;
}
