// Domain records, domain texts, region files and the region prompt.
#pragma once
#include <cstdint>

struct DomainRec {
  std::int32_t proj;
  float plat;
  float plon;
  float p3;
  float p4;
  float p5;
  float p6;
  float p7;
  float clat;
  float clon;
  float dx;
  float dy;
  std::int32_t nx;
  std::int32_t ny;
  std::int32_t ext;
};

void DOM_init(DomainRec* domain);
// Decodes a domain text; nonzero on success, 0 after "DOM_decode: Invalid plot domain".
int DOM_decode(const char* text, DomainRec* domain);
