// The yardstick of bench/cost: the least a Qt desktop clock can be. A frameless 160 x 160 window
// with a round face and three hands, drawn anew every 54 ms as the described tick at the default
// Speed would; no skins, tray, chimes or settings.
#include <QApplication>
#include <QPainter>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <cmath>

class MinimalClock final : public QWidget {
public:
    MinimalClock()
    {
        setWindowFlag(Qt::FramelessWindowHint);
        setWindowTitle(QStringLiteral("minimal clock"));
        setFixedSize(160, 160);
        connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
        m_timer.start(54);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(rect(), Qt::white);
        painter.translate(80, 80);
        painter.drawEllipse(QPointF(0, 0), 75, 75);
        const QTime now = QTime::currentTime();
        const auto hand = [&](double degrees, double length, int width) {
            const double a = (degrees - 90) * M_PI / 180;
            painter.setPen(QPen(Qt::black, width));
            painter.drawLine(QPointF(0, 0), QPointF(std::cos(a), std::sin(a)) * length);
        };
        hand((now.hour() % 12 + now.minute() / 60.0) * 30, 40, 4);
        hand(now.minute() * 6, 60, 3);
        hand(now.second() * 6, 70, 1);
    }

private:
    QTimer m_timer;
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    MinimalClock clock;
    clock.show();
    return app.exec();
}
