// Writing a window-sized picture of a map plot: the GIF encoder (colour reduction and
// LZW), the PNG writer, the compressed package format, and reading the GIF back.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "graphics/gif.h"
#include "graphics/img_tool.h"
#include "graphics/png.h"

namespace {

// 1024 by 768 pixels: black background, colour-filled bands and thin lines, the mix a
// contour plot gives.
ImgRec plot_picture() {
  const int w = 1024, h = 768;
  static const std::uint32_t bands[] = {0x2040C0, 0x3070E0, 0x40A0F0, 0x60C0A0, 0xA0D060, 0xF0E040, 0xF0A030};
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double v = std::sin(x * 0.01) * 2.0 + std::cos(y * 0.013) * 2.0 + 3.5;
      std::uint32_t c = bands[static_cast<int>(v) % 7];
      if (std::fabs(v - std::round(v)) < 0.03) c = 0xFFFFFF;  // contour lines
      if ((x + 3 * y) % 97 == 0) c = 0xFF00FF;                // map outlines
      px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | c;
    }
  ImgRec image;
  IMG_from_argb(&image, w, h, px.data(), "bench");
  return image;
}

const std::string kDir = "/tmp";

void BM_GifWrite(benchmark::State& state) {
  const ImgRec image = plot_picture();
  const std::string path = kDir + "/img_bench.gif";
  for (auto _ : state) benchmark::DoNotOptimize(GIF_write(path.c_str(), &image));
  state.SetItemsProcessed(state.iterations() * image.width * image.height);
  std::remove(path.c_str());
}
BENCHMARK(BM_GifWrite)->Unit(benchmark::kMillisecond);

void BM_PngWrite(benchmark::State& state) {
  const ImgRec image = plot_picture();
  const std::string path = kDir + "/img_bench.png";
  for (auto _ : state) benchmark::DoNotOptimize(PNG_write(path.c_str(), &image));
  state.SetItemsProcessed(state.iterations() * image.width * image.height);
  std::remove(path.c_str());
}
BENCHMARK(BM_PngWrite)->Unit(benchmark::kMillisecond);

void BM_GifRead(benchmark::State& state) {
  const ImgRec image = plot_picture();
  const std::string path = kDir + "/img_bench_r.gif";
  GIF_write(path.c_str(), &image);
  ImgRec back;
  for (auto _ : state) benchmark::DoNotOptimize(GIF_read(path.c_str(), &back));
  state.SetItemsProcessed(state.iterations() * image.width * image.height);
  std::remove(path.c_str());
}
BENCHMARK(BM_GifRead)->Unit(benchmark::kMillisecond);

void BM_ZavCompressed(benchmark::State& state) {
  ImgRec image;
  IMG_init(&image);
  image.width = 1024, image.height = 768, image.bits_per_pixel = 8, image.bytes_per_line = 1024;
  for (int i = 0; i < 1024 * 768; ++i) image.data.push_back(static_cast<unsigned char>((i % 1024) / 8 + (i / 8192)));
  const std::string path = kDir + "/img_bench.zav";
  for (auto _ : state) benchmark::DoNotOptimize(IMG_write(path.c_str(), &image, 1));
  state.SetItemsProcessed(state.iterations() * image.width * image.height);
  std::remove(path.c_str());
}
BENCHMARK(BM_ZavCompressed)->Unit(benchmark::kMillisecond);

}  // namespace
