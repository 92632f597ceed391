// Watermark overlay composition at full HD and 4K: a text watermark with its
// rounded box and a picture watermark, each drawn on the canvas, resampled
// when needed and passed through PNG as the edit window does on every change
// of a watermark control.
//
// After the benchmark table it prints the median time of one text-with-box
// composition per size as FIGURE lines for bench/run.
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

QFont watermarkFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(60);
    return font;
}

QImage picture()
{
    QImage image(800, 300, QImage::Format_ARGB32);
    image.fill(QColor(40, 120, 240, 200));
    return image;
}

QImage composeText(QSizeF frame)
{
    return GlobalFun::getOverlayImgWithSize(frame, 0, QStringLiteral("Trelvio 3 sample watermark"), Qt::white,
                                            Qt::black, watermarkFont(), QImage(), 0.8, 4, frame);
}

QImage composeImage(QSizeF frame, const QImage& wm)
{
    return GlobalFun::getOverlayImgWithSize(frame, 1, QString(), Qt::white, QColor(), watermarkFont(), wm, 0.8, 2,
                                            frame);
}

void BM_TextWithBox(benchmark::State& state)
{
    const QSizeF frame(state.range(0), state.range(1));
    for (auto _ : state) {
        QImage overlay = composeText(frame);
        benchmark::DoNotOptimize(overlay.constBits());
    }
}

void BM_Picture(benchmark::State& state)
{
    const QSizeF frame(state.range(0), state.range(1));
    const QImage wm = picture();
    for (auto _ : state) {
        QImage overlay = composeImage(frame, wm);
        benchmark::DoNotOptimize(overlay.constBits());
    }
}

// An anamorphic PAL frame: drawn at 1024x576 and squeezed to 720x576.
void BM_TextAnamorphic(benchmark::State& state)
{
    for (auto _ : state) {
        QImage overlay = GlobalFun::getOverlayImgWithSize(
            {1024, 576}, 0, QStringLiteral("Trelvio 3 sample watermark"), Qt::white, Qt::black, watermarkFont(),
            QImage(), 0.8, 4, {720, 576});
        benchmark::DoNotOptimize(overlay.constBits());
    }
}

BENCHMARK(BM_TextWithBox)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Picture)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextAnamorphic)->Unit(benchmark::kMillisecond);

double medianTextMs(QSizeF frame, int runs)
{
    composeText(frame);  // warm the font and glyph caches
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        QImage overlay = composeText(frame);
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(overlay.constBits());
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("FIGURE watermark_1080p_ms %.2f ms target none\n", medianTextMs({1920, 1080}, 21));
    std::printf("FIGURE watermark_2160p_ms %.2f ms target none\n", medianTextMs({3840, 2160}, 11));
    return 0;
}
