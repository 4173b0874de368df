#include "core/shape/TraceShape.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

constexpr QRgb magenta = 0xffff00ff;

QImage ellipsePicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(magenta);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(235, 235, 220));
    painter.drawEllipse(QRect(0, 0, width, height));
    return image;
}

QImage speckle500()
{
    QRandomGenerator random(1234);
    QImage image(500, 500, QImage::Format_RGB32);
    image.fill(magenta);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (random.bounded(2))
                image.setPixel(x, y, qRgb(40, 80, 120));
        }
    }
    return image;
}

const QImage& circle100()
{
    static const QImage picture = ellipsePicture(100, 100);
    return picture;
}

const QImage& circle1000()
{
    static const QImage picture = ellipsePicture(1000, 1000);
    return picture;
}

const QImage& ellipse1920x1080()
{
    static const QImage picture = ellipsePicture(1920, 1080);
    return picture;
}

const QImage& speckle()
{
    static const QImage picture = speckle500();
    return picture;
}

using Picture = const QImage& (*)();

QRegion qtRoute(const QImage& picture)
{
    // MaskInColor sets the key's pixels, which QRegion(QBitmap) then leaves out.
    return QRegion(QBitmap::fromImage(picture.createMaskFromColor(magenta, Qt::MaskInColor)));
}

bool sameRegion(const QImage& picture)
{
    return (TraceShape(picture, magenta) ^ qtRoute(picture)).isEmpty();
}

void traceShape(benchmark::State& state, Picture picture)
{
    if (!sameRegion(picture())) {
        state.SkipWithError("TraceShape and Qt's route give different regions");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(TraceShape(picture(), magenta));
}

void qtMaskRoute(benchmark::State& state, Picture picture)
{
    if (!sameRegion(picture())) {
        state.SkipWithError("TraceShape and Qt's route give different regions");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(qtRoute(picture()));
}

} // namespace

BENCHMARK_CAPTURE(traceShape, circle100, circle100);
BENCHMARK_CAPTURE(qtMaskRoute, circle100, circle100);
BENCHMARK_CAPTURE(traceShape, circle1000, circle1000);
BENCHMARK_CAPTURE(qtMaskRoute, circle1000, circle1000);
BENCHMARK_CAPTURE(traceShape, ellipse1920x1080, ellipse1920x1080);
BENCHMARK_CAPTURE(qtMaskRoute, ellipse1920x1080, ellipse1920x1080);
BENCHMARK_CAPTURE(traceShape, speckle500, speckle);
BENCHMARK_CAPTURE(qtMaskRoute, speckle500, speckle);

int main(int argc, char** argv)
{
    // QBitmap needs a GUI application; no screen is needed for any of this.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
