// One whole tick (interval, background, digital time, hands) drawn into a window buffer.
#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/base/Twips.h"
#include "core/face/ClockWindow.h"
#include "core/face/Tick.h"
#include "core/skin/BuiltInSkin.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

class BufferWindow final : public ClockWindow {
public:
    BufferWindow(const QImage& picture, qreal dpr)
        : m_back(picture)
        , m_buffer(picture.size() * dpr, QImage::Format_ARGB32_Premultiplied)
    {
        m_buffer.setDevicePixelRatio(dpr);
    }
    int timerInterval() const override { return m_interval; }
    void setTimerInterval(int ms) override { m_interval = ms; }
    QString timerTag() const override { return {}; }
    QImage& faceBuffer() override { return m_buffer; }
    void faceDrawn() override { benchmark::DoNotOptimize(m_buffer.constBits()); }
    const QImage& tempBack() const override { return m_back; }
    void ChangeBack(std::uint8_t, bool) override { }
    void PlayChime(std::uint8_t, bool) override { }

private:
    int m_interval = 100;
    QImage m_back;
    QImage m_buffer;
};

float twips(double px)
{
    return float(Twips::fromPixels(px));
}

HorolanState builtInState()
{
    HorolanState state;
    BuiltInSkin::applyValues(state.skin, state.wttSkin, false);
    return state;
}

// Four rotated texts: hours, minutes, seconds and the designator, each at its own angle.
HorolanState rotatedTextsState()
{
    HorolanState state = builtInState();
    SkinRecord& skin = state.skin;
    skin.usedig = true;
    skin.break_ = true;
    skin.AMPM = true;
    skin.showdigsec = true;
    skin.blinkdots = QStringLiteral("no ");
    skin.angle = { 150, -300, 450, 900 };
    const SkinFont font { QStringLiteral("DejaVu Sans"), 12 };
    skin.hur = { twips(20), twips(15), font, rgbColor(20, 20, 120) };
    skin.min = { twips(30), twips(45), font, rgbColor(20, 120, 20) };
    skin.sec = { twips(60), twips(40), font, rgbColor(120, 20, 20) };
    skin.ampm = { twips(80), twips(60), font, rgbColor(0, 0, 0) };
    return state;
}

// Each tick a second later (every tick draws a frame), or all within one second (the ticks
// between two frames, which draw nothing).
void runTicks(benchmark::State& bench, HorolanState state, qreal dpr, bool nextSecond)
{
    const QDateTime start(QDate(2026, 12, 5), QTime(22, 15, 45, 500));
    FixedClock clock(start);
    BufferWindow window(BuiltInSkin::picture(), dpr);
    Tick tick(state, clock, window);
    int seconds = 0;
    for (auto _ : bench) {
        if (nextSecond)
            clock.set(start.addSecs(++seconds % 40)); // stays clear of the hour's events
        tick.Timer1_Timer();
    }
}

void BM_TickBuiltIn(benchmark::State& bench)
{
    runTicks(bench, builtInState(), 1, true);
}
void BM_TickBuiltInDpr2(benchmark::State& bench)
{
    runTicks(bench, builtInState(), 2, true);
}
void BM_TickRotatedTexts(benchmark::State& bench)
{
    runTicks(bench, rotatedTextsState(), 1, true);
}
void BM_TickNothingChanged(benchmark::State& bench)
{
    runTicks(bench, rotatedTextsState(), 1, false);
}

} // namespace

BENCHMARK(BM_TickBuiltIn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickBuiltInDpr2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickRotatedTexts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickNothingChanged)->Unit(benchmark::kMicrosecond);

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
