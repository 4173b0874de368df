#include "app/ClockSession.h"
#include "core/about/AboutTexts.h"
#include "core/base/Clock.h"
#include "core/settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/about/AboutWindow.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QTimeEdit>

namespace {
// Whether a layout, or one inside it, places the widget.
bool holds(const QLayout* layout, const QWidget* widget)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget || (item->layout() && holds(item->layout(), widget)))
            return true;
    }
    return false;
}
} // namespace

// The options window in the running clock, on a real settings file: each control changes the
// setting, what the clock shows or does, and the file. The keys that walk its pages, and what
// needs a real X server, are the end-to-end test's.
class TestOptionsWindow : public QObject {
    Q_OBJECT

private slots:
    void controls_data()
    {
        QTest::addColumn<QString>("control"); // by object name
        QTest::addColumn<QString>(
            "input"); // space, down, end, value:N, time:HH:mm, zone:LABEL, del
        QTest::addColumn<QString>("stored"); // Group/Key=text once the clock closes
        QTest::addColumn<QStringList>("heard"); // what the sound output was asked for
        const auto row = [](const char* name, const char* control, const char* input,
                             const char* stored, QStringList heard = {}) {
            QTest::newRow(name) << QString(control) << QString(input) << QString(stored) << heard;
        };
        row("skin list", "skins", "down", "Setting/Skin=Green");
        row("sound pack list", "packs", "down", "Setting/SoundPack=Bells");
        row("random skin", "randomSkin", "space", "Setting/RandomSkin=True");
        row("chimes", "useChimes", "space", "Setting/UseChimes=False");
        row("count", "countChimes", "space", "Setting/UseChimesCount=False");
        row("quiet at night", "quietHours", "space", "Setting/QuietHours=True");
        row("quiet from", "quietFrom", "time:23:15", "Setting/QuietFrom=23:15");
        row("quiet to", "quietTo", "time:06:45", "Setting/QuietTo=06:45");
        row("quiet when locked", "quietWhenLocked", "space", "Setting/QuietWhenLocked=False");
        row("quiet when busy", "quietWhenDoNotDisturb", "space",
            "Setting/QuietWhenDoNotDisturb=False");
        row("quiet in full screen", "quietWhenFullScreen", "space",
            "Setting/QuietWhenFullScreen=False");
        row("volume", "volume", "value:40", "Setting/ChimeVolume=40");
        row("on top", "onTop", "space", "Setting/ontop=False");
        row("twelve hours", "twelveHour", "space", "Setting/AMPM=True");
        row("speed", "speed", "end", "Setting/Speed=0");
        row("click through", "clickThrough", "space", "Setting/ClickThrough=True");
        row("opacity", "opacity", "value:40", "Setting/Opacity=40");
        row("zone added", "zones", "zone:+05:30", "WTT/Item2=+330Kolkata");
        row("entry removed", "entries", "del", "WTT/Count=0");
        // Nothing added, and the clock's own ding says so.
        row("no zone chosen", "zones", "zone:", "WTT/Count=1", { "beep" });
    }
    void controls()
    {
        QFETCH(QString, control);
        QFETCH(QString, input);
        QFETCH(QString, stored);
        QFETCH(QStringList, heard);
        test::Folders folders;
        folders.write("Skins/Green/Skin.ini", "[setting]\ntranscolor=000255000\n");
        folders.picture("Skins/Green/back.png", QSize(80, 60), Qt::darkBlue, Qt::green);
        folders.write("Sounds/Bells/SP.ini", "[setting]\ntype=c\n");
        folders.write("Quarnet.conf", "[WTT]\nCount=1\nItem1=+060Paris\n");
        FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 20, 30)));
        SettingsStore store(folders.path("Quarnet.conf"), clock);
        test::RecordingOutput output;
        ClockSession session(
            clock, &store, folders.roots(), [&]() -> SoundOutput& { return output; });
        session.start();
        session.commands().action(Command::ShowOptions)->trigger();
        QWidget* options = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            options = window->objectName() == "options" ? window : options;
        QVERIFY(options);
        auto* widget = options->findChild<QWidget*>(control);
        QVERIFY(widget);
        // Keys go where the focus is, as the window's own keys look there.
        QApplication::setActiveWindow(options);
        widget->setFocus();
        const Settings before = session.settings().values();

        if (input == "space" || input == "down" || input == "end")
            QTest::keyClick(widget,
                input == "space"      ? Qt::Key_Space
                    : input == "down" ? Qt::Key_Down
                                      : Qt::Key_End);
        else if (input.startsWith("value:"))
            qobject_cast<QSlider*>(widget)->setValue(input.mid(6).toInt());
        else if (input.startsWith("time:"))
            qobject_cast<QTimeEdit*>(widget)->setTime(QTime::fromString(input.mid(5), "HH:mm"));
        else if (input.startsWith("zone:")) {
            auto* zones = qobject_cast<QComboBox*>(widget);
            zones->setCurrentIndex(zones->findText(input.mid(5)));
            options->findChild<QLineEdit*>("zoneName")->setText("Kolkata");
            QTest::keyClick(zones, Qt::Key_Return);
        } else if (input == "del") {
            auto* entries = qobject_cast<QListWidget*>(widget);
            entries->setCurrentRow(0);
            QTest::keyClick(entries, Qt::Key_Delete);
        }
        QCOMPARE(session.settings().values() == before, !heard.isEmpty());
        QCOMPARE(output.calls, heard);

        // What the clock does with it at once.
        const Settings& now = session.settings().values();
        QCOMPARE(session.timepiece().skinName(), now.skin);
        QCOMPARE(session.window().width(), now.skin == "Green" ? 80 : 100);
        QCOMPARE(session.chimes().packName(), now.soundPack);
        QCOMPARE(session.window().windowFlags().testFlag(Qt::WindowStaysOnTopHint), now.onTop);
        QCOMPARE(options->windowFlags().testFlag(Qt::WindowStaysOnTopHint), now.onTop);
        for (QWidget* window : { static_cast<QWidget*>(&session.window()),
                 static_cast<QWidget*>(&session.worldTime()) }) {
            QCOMPARE(
                window->windowFlags().testFlag(Qt::WindowTransparentForInput), now.clickThrough);
            QVERIFY(qAbs(window->windowOpacity() - now.opacity / 100.0) < 0.01);
        }
        QCOMPARE(
            session.commands().action(Command::ToggleClickThrough)->isChecked(), now.clickThrough);
        // No compositor here: the opacity waits for one, and says why.
        QVERIFY(!options->findChild<QSlider*>("opacity")->isEnabled());
        QVERIFY(!options->findChild<QWidget*>("noCompositor")->isHidden());

        session.close();
        const QSettings file(folders.path("Quarnet.conf"), QSettings::IniFormat);
        QCOMPARE(file.value(stored.section('=', 0, 0)).toString(), stored.section('=', 1));
    }

    // What a screen reader gets: a name for each window and for every control the keyboard
    // reaches (one added later without a name fails here); for the clock and the world time
    // table, their times as the minute turns (once a minute: tst_timepiece). Without a bridge the
    // interfaces answer, though no change is sent.
    void accessible_data()
    {
        QTest::addColumn<int>("opens"); // the command, or none for the clock itself
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("controls"); // at least, the window included
        QTest::addColumn<QStringList>("spoken"); // at 10:20:30, 10:20:59, 10:21:00
        QTest::newRow("clock") << int(Command::None) << "clock" << 1
                               << QStringList { "10:20", "10:20", "10:21" };
        QTest::newRow("world time") << int(Command::ToggleWorldTime) << "worldtime" << 1
                                    << QStringList { "Paris 10:20", "Paris 10:20", "Paris 10:21" };
        QTest::newRow("options") << int(Command::ShowOptions) << "options" << 30 << QStringList();
        QTest::newRow("about") << int(Command::ShowAbout) << "about" << 1 << QStringList();
    }
    void accessible()
    {
        QFETCH(int, opens);
        QFETCH(QString, window);
        QFETCH(int, controls);
        QFETCH(QStringList, spoken);
        test::Folders folders;
        FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 20, 30)));
        folders.write("Quarnet.conf", "[WTT]\nCount=1\nItem1=+060Paris\n");
        SettingsStore store(folders.path("Quarnet.conf"), clock);
        ClockSession session(clock, &store, folders.roots());
        session.start();
        session.commands().run(Command(opens));
        QWidget* top = nullptr;
        for (QWidget* each : QApplication::topLevelWidgets())
            top = each->objectName() == window && each->isVisible() ? each : top;
        QVERIFY(top);

        QWidgetList reached { top };
        for (QWidget* each : top->findChildren<QWidget*>()) {
            bool own = each->focusPolicy() != Qt::NoFocus && each->window() == top;
            // Qt's own parts of a control (a time field's editor, a list's scroll bars).
            for (QWidget* up = each; own && up != top; up = up->parentWidget())
                own = !up->objectName().startsWith("qt_");
            if (own)
                reached << each;
        }
        QVERIFY(reached.size() >= controls);
        for (QWidget* each : reached) {
            // Where its parent has a layout, placed by it: one left out sits over another
            // control. (Pages that slide are placed by hand.)
            const QWidget* parent = each->parentWidget();
            QVERIFY2(each == top || !parent->layout() || holds(parent->layout(), each),
                qPrintable(each->metaObject()->className() + (" " + each->objectName())));
            const QAccessibleInterface* face = QAccessible::queryAccessibleInterface(each);
            // Named, captioned, or by its own text: a list's value is no name, though on Linux
            // it is given as one, its caption going as a relation.
            const QString name = face->text(QAccessible::Name);
            QVERIFY2(!each->accessibleName().isEmpty()
                    || !face->relations(QAccessible::Label).isEmpty()
                    || (!name.isEmpty() && name != face->text(QAccessible::Value)),
                qPrintable(each->metaObject()->className() + (" " + each->objectName())));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(&session.window())->text(QAccessible::Name),
            "Horolan");

        const QTime times[] = { QTime(10, 20, 30), QTime(10, 20, 59), QTime(10, 21) };
        for (qsizetype i = 0; i < spoken.size(); ++i) {
            clock.set(times[i]);
            session.window().tick();
            session.worldTime().refresh();
            QCOMPARE(QAccessible::queryAccessibleInterface(top)->text(QAccessible::Description),
                spoken[i]);
        }
        if (window == "about") {
            // The keys reach the Read Me's sub-pages too.
            auto* about = qobject_cast<AboutWindow*>(top);
            session.settings().set(&Settings::speed, 0.0F); // pages change at once
            about->choose(AboutWindow::ReadMe);
            QTRY_COMPARE(about->currentTab(), AboutWindow::ReadMe);
            QTest::keyClick(top, Qt::Key_Down);
            QVERIFY(top->accessibleDescription().contains(AboutTexts::readMe(1)));
            // A key pressed while a page slides away counts from the page the slide goes to.
            session.settings().set(&Settings::speed, 88.0F);
            QTest::keyClick(top, Qt::Key_Right);
            QTest::keyClick(top, Qt::Key_Right);
            QTRY_COMPARE_WITH_TIMEOUT(about->currentTab(), AboutWindow::Credits, 20000);
        }
        session.close();
    }

    void menu()
    {
        test::Folders folders;
        FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 20, 30)));
        SettingsStore store(folders.path("Quarnet.conf"), clock);
        ClockSession session(clock, &store, folders.roots());
        session.start();
        QMenu* menu = nullptr;
        for (QWidget* each : QApplication::topLevelWidgets())
            menu = qobject_cast<QMenu*>(each) ? qobject_cast<QMenu*>(each) : menu;
        QVERIFY(menu);
        const auto shown = [menu] {
            QStringList items;
            for (const QAction* item : menu->actions())
                if (item->isVisible())
                    items << (item->isSeparator() ? QStringLiteral("-") : item->text());
            return items;
        };
        const QStringList items { "&Change Time", "&World Time", "Click &Through", "&Options",
            "E&xit", "-", "&About" };
        QCOMPARE(shown(), items);
        session.commands().action(Command::ToggleLock)->trigger();
        QCOMPARE(shown(), QStringList { "un&Lock Position" } + items);
        session.close();
    }

    void installs()
    {
        // A skin dropped on the Skin page is installed and shown; dropped again, the user is
        // asked and keeps both; "Remove" takes the one in use away, back to the built-in skin; a
        // pack chosen with "Install..." becomes the sound pack.
        test::Folders folders;
        folders.write("Download/Cool/Skin.ini", "[setting]\ntranscolor=000255000\n");
        folders.picture("Download/Cool/back.png", QSize(80, 60), Qt::darkBlue, Qt::green);
        folders.write("Download/Bells/SP.ini", "[setting]\ntype=c\n");
        FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 20, 30)));
        ClockSession session(clock, nullptr, folders.roots());
        session.start();
        session.commands().action(Command::ShowOptions)->trigger();
        QComboBox* skins = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            skins = skins ? skins : window->findChild<QComboBox*>("skins");
        QWidget* options = skins->window();
        const auto drop = [&] {
            QMimeData data;
            data.setUrls({ QUrl::fromLocalFile(folders.path("Download/Cool")) });
            QDragEnterEvent enter({ 5, 5 }, Qt::CopyAction, &data, Qt::LeftButton, {});
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(skins->parentWidget(), &enter);
            QApplication::sendEvent(skins->parentWidget(), &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        const auto answer = [&](const char* box, const QString& button) {
            QMessageBox* asked = nullptr;
            QTRY_VERIFY((asked = options->findChild<QMessageBox*>(box)));
            for (QAbstractButton* each : asked->buttons())
                if (each->text() == button)
                    each->click();
        };
        QVERIFY(drop());
        QTRY_COMPARE(session.settings()->skin, "Cool");
        QCOMPARE(session.window().size(), QSize(80, 60));
        QVERIFY(drop());
        answer("nameTaken", "Keep both");
        QTRY_COMPARE(session.settings()->skin, "Cool (2)");
        QCOMPARE(skins->currentText(), "Cool (2)");

        options->findChild<QPushButton*>("removeSkin")->click();
        answer("removeQuestion", "Remove");
        QCOMPARE(session.settings()->skin, "< none >");
        QCOMPARE(session.window().size(), QSize(100, 100));
        QCOMPARE(skins->findText("Cool (2)"), -1);
        QVERIFY(!QFileInfo::exists(folders.path("Skins/Cool (2)")) && skins->findText("Cool") > 0);
        QVERIFY(!options->findChild<QPushButton*>("removeSkin")->isEnabled());

        options->findChild<QPushButton*>("installPack")->click();
        emit options->findChild<QFileDialog*>("installFiles")
            ->filesSelected({ folders.path("Download/Bells") });
        QTRY_COMPARE(session.chimes().packName(), "Bells");
        QCOMPARE(session.settings()->soundPack, "Bells");
    }
};

QTEST_MAIN(TestOptionsWindow)
#include "tst_optionswindow.moc"
