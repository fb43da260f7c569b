// Throughput of the projection transforms: one forward and one inverse transform per
// station, and the domain-to-domain transform the data-plot framework does per report.
#include <benchmark/benchmark.h>

#include <vector>

#include "plot/maptran.h"
#include "plot/region.h"

namespace {

DomainRec domain_of(const char* text) {
  DomainRec d;
  DOM_init(&d);
  DOM_decode(text, &d);
  return d;
}

const char* const kDomains[] = {"ps:-97,39,-97,25,17,2.3,2.3", "lamb:38.5:-97.5:33:45,38.5,-97.5,61,37,0.8,0.8",
                                "merc,24,-84,41,29,0.5,0.5",   "ortho:40:-100,40,-100,25,17,2",
                                "moll,0,0,129,65,2.0,2.0",     "sat:e:0:-75:421.61:1,0,-75,61,61,2.2"};

void BM_ForwardInverse(benchmark::State& state) {
  const DomainRec d = domain_of(kDomains[state.range(0)]);
  MAP_domain(&d);
  std::vector<float> lat, lon;
  for (int i = 0; i < 1000; ++i) {
    lat.push_back(20.0f + (i % 40));
    lon.push_back(-120.0f + (i % 50));
  }
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      float x, y, la, lo;
      MAP_tran(&x, &y, lat[i], lon[i]);
      MAP_untran(&la, &lo, x, y);
      benchmark::DoNotOptimize(la + lo);
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ForwardInverse)->DenseRange(0, 5);

void BM_DomainTran(benchmark::State& state) {
  const DomainRec a = domain_of(kDomains[0]);
  const DomainRec b = domain_of(kDomains[1]);
  MAP_domain(&a);
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      float x, y;
      MAP_domain_tran(&a, &b, &x, &y, -10.0f + i * 0.02f, 5.0f);
      benchmark::DoNotOptimize(x + y);
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_DomainTran);

}  // namespace
