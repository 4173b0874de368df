// Frames per second of a 10-frame 300 x 300 animated skin, each with the face drawn on it: with
// the outlines traced once at activation, against tracing every frame again; and on a screen of
// device-pixel ratio 2, each frame scaled and its outline traced at the screen's pixels.
#include "core/base/Clock.h"
#include "core/base/Random.h"
#include "core/face/Timepiece.h"
#include "core/files/Roots.h"
#include "core/settings/Settings.h"
#include "core/shape/TraceShape.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>

namespace {

constexpr int frameCount = 10;
constexpr int side = 300;
const QRgb key = qRgb(255, 0, 255);

// A star with i + 3 points and a hole whose size changes with i: every frame its own outline.
QImage frame(int i)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(key);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    const int points = i + 3;
    QPainterPath star;
    for (int k = 0; k < 2 * points; ++k) {
        const double r = k % 2 ? 60 + 6 * i : 148;
        const double a = k * std::numbers::pi / points + i * 0.1;
        const QPointF q(side / 2.0 + r * std::cos(a), side / 2.0 + r * std::sin(a));
        k == 0 ? star.moveTo(q) : star.lineTo(q);
    }
    star.closeSubpath();
    star.addEllipse(QPointF(side / 2.0, side / 2.0), 10 + 4 * i, 20 + 2 * i);
    p.setBrush(QColor::fromHsv(i * 36, 160, 220));
    p.drawPath(star);
    return image;
}

struct AnimatedSkin {
    AnimatedSkin()
    {
        const QString folder = dir.path() + QStringLiteral("/Skins/Anim");
        QDir().mkpath(folder);
        QFile ini(folder + QStringLiteral("/Skin.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[setting]\nbacktype=animat\ntranscolor=255000255\n");
        for (int i = 0; i < frameCount; ++i)
            frame(i).save(folder + QStringLiteral("/Back%1.BMP").arg(i, 2, 10, QChar(u'0')), "BMP");
    }
    QTemporaryDir dir;
};

void runAnimation(benchmark::State& bench, bool retrace, qreal ratio = 1)
{
    static AnimatedSkin skin;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 15, 0)));
    const Roots roots({ skin.dir.path() });
    Random random;
    const Settings settings;
    Timepiece timepiece(clock, random, roots, settings);
    timepiece.face().setDevicePixelRatio(ratio);
    timepiece.activateSkin(QStringLiteral("Anim"));
    if (timepiece.face().background().frame == 0) {
        bench.SkipWithError("the frames did not load");
        return;
    }
    for (auto _ : bench) {
        const FaceUpdate update = timepiece.changeBackground(10, HourEvent::Forced);
        // Re-tracing stands for an animation that keeps no outlines.
        if (retrace)
            benchmark::DoNotOptimize(TraceShape(update.background->picture, key));
    }
    bench.counters["frames/s"]
        = benchmark::Counter(double(bench.iterations()), benchmark::Counter::kIsRate);
}

void BM_AnimationCachedOutlines(benchmark::State& bench)
{
    runAnimation(bench, false);
}
void BM_AnimationRetraced(benchmark::State& bench)
{
    runAnimation(bench, true);
}
void BM_AnimationDpr2(benchmark::State& bench)
{
    runAnimation(bench, false, 2);
}

} // namespace

BENCHMARK(BM_AnimationCachedOutlines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationRetraced)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimationDpr2)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
