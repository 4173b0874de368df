// One face drawn into the clock's back buffer (background, digital time, hands).
#include "core/face/ClockFace.h"
#include "core/skin/Background.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

// Four rotated texts: hours, minutes, seconds and the designator, each at its own angle.
Skin rotatedTexts()
{
    Skin skin;
    skin.digital = true;
    skin.separateTexts = true;
    skin.colons = ColonBlink::Shown;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(12);
    skin.hours = { { 15, 20 }, font, QColor(20, 20, 120), 150 };
    skin.minutes = { { 45, 30 }, font, QColor(20, 120, 20), -300 };
    skin.seconds = { { 40, 60 }, font, QColor(120, 20, 20), 450 };
    skin.amPm = { { 60, 80 }, font, Qt::black, 900 };
    return skin;
}

// Each face a second later (every one is drawn), or all within one second (the ticks between two
// frames, which draw nothing).
void drawFaces(
    benchmark::State& bench, const Skin& skin, bool twelveHour, qreal dpr, bool nextSecond)
{
    const QDateTime start(QDate(2026, 12, 5), QTime(22, 15, 45, 500));
    ClockFace face;
    face.setBackground(builtInBackground(QString()));
    face.setDevicePixelRatio(dpr);
    int seconds = 0;
    for (auto _ : bench) {
        const QDateTime now = nextSecond ? start.addSecs(++seconds % 40) : start;
        benchmark::DoNotOptimize(face.draw(skin, twelveHour, now, false));
    }
}

void BM_FaceBuiltIn(benchmark::State& bench)
{
    drawFaces(bench, Skin(), false, 1, true);
}
void BM_FaceBuiltInDpr2(benchmark::State& bench)
{
    drawFaces(bench, Skin(), false, 2, true);
}
void BM_FaceRotatedTexts(benchmark::State& bench)
{
    drawFaces(bench, rotatedTexts(), true, 1, true);
}
void BM_FaceNothingChanged(benchmark::State& bench)
{
    drawFaces(bench, rotatedTexts(), true, 1, false);
}

} // namespace

BENCHMARK(BM_FaceBuiltIn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FaceBuiltInDpr2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FaceRotatedTexts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FaceNothingChanged)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts need it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
