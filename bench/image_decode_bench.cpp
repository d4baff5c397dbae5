// Decoding the launcher background, the largest embedded image, with our decoder and with plain
// libpng / libspng for comparison; a memcpy of the decoded size is the floor.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdiplus/png_decoder.h"

#ifdef NEBRISK_HAVE_SPNG
#include <spng.h>
#endif

namespace {

constexpr int kWidth = 1434;
constexpr int kHeight = 804;
constexpr size_t kDecodedBytes = size_t{kWidth} * kHeight * 4;

void AppendToVector(png_structp png, png_bytep data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// Smooth gradients and soft shapes with a little noise, and a transparent margin with a soft
// edge, so the file compresses about as well as painted artwork does.
std::vector<uint8_t> MakeArtworkPng() {
    std::vector<uint8_t> rgba(kDecodedBytes);
    uint32_t seed = 12345;
    auto noise = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>(seed >> 29) - 4;  // -4..3
    };
    auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double fx = static_cast<double>(x) / kWidth,
                         fy = static_cast<double>(y) / kHeight;
            const double glow =
                90 * std::exp(-((fx - 0.3) * (fx - 0.3) + (fy - 0.4) * (fy - 0.4)) * 8);
            const double wave = 30 * std::sin(fx * 12 + std::cos(fy * 7) * 2);
            uint8_t* p = &rgba[(size_t{static_cast<size_t>(y)} * kWidth + x) * 4];
            p[0] = clamp(40 + 120 * fx + glow + noise());
            p[1] = clamp(30 + 80 * fy + wave + noise());
            p[2] = clamp(110 + 60 * (1 - fx) + wave * 0.5 + noise());
            const int edge = std::min(std::min(x, kWidth - 1 - x), std::min(y, kHeight - 1 - y));
            p[3] = edge >= 12 ? 255 : static_cast<uint8_t>(edge * 255 / 12);
        }
    }

    std::vector<uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) rows[y] = &rgba[size_t{static_cast<size_t>(y)} * kWidth * 4];
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &file, AppendToVector, nullptr);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return file;
}

const std::vector<uint8_t>& ArtworkPng() {
    static const std::vector<uint8_t> file = MakeArtworkPng();
    return file;
}

void Finish(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDecodedBytes);
    state.counters["png_bytes"] = static_cast<double>(ArtworkPng().size());
}

void BM_DecodePng(benchmark::State& state) {
    const std::vector<uint8_t>& file = ArtworkPng();
    for (auto _ : state) {
        gdiplus::PixelImage image;
        if (!gdiplus::DecodePng(file.data(), file.size(), image)) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(image.pixels.data());
    }
    Finish(state);
}
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);

void BM_LibpngSimplified(benchmark::State& state) {
    const std::vector<uint8_t>& file = ArtworkPng();
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
            state.SkipWithError(image.message);
            break;
        }
        image.format = PNG_FORMAT_BGRA;
        std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
            state.SkipWithError(image.message);
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    Finish(state);
}
BENCHMARK(BM_LibpngSimplified)->Unit(benchmark::kMillisecond);

#ifdef NEBRISK_HAVE_SPNG
void BM_Spng(benchmark::State& state) {
    const std::vector<uint8_t>& file = ArtworkPng();
    for (auto _ : state) {
        spng_ctx* ctx = spng_ctx_new(0);
        size_t size = 0;
        int err = spng_set_png_buffer(ctx, file.data(), file.size());
        if (err == 0) err = spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size);
        std::vector<uint8_t> pixels(size);
        if (err == 0) {
            err = spng_decode_image(ctx, pixels.data(), pixels.size(), SPNG_FMT_RGBA8,
                                    SPNG_DECODE_TRNS);
        }
        spng_ctx_free(ctx);
        if (err != 0) {
            state.SkipWithError(spng_strerror(err));
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    Finish(state);
}
BENCHMARK(BM_Spng)->Unit(benchmark::kMillisecond);
#endif

void BM_MemcpyDecodedSize(benchmark::State& state) {
    std::vector<uint8_t> src(kDecodedBytes, 0x5A), dst(kDecodedBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kDecodedBytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDecodedBytes);
}
BENCHMARK(BM_MemcpyDecodedSize)->Unit(benchmark::kMillisecond);

}  // namespace
