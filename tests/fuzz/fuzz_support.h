// Shared set-up of the libFuzzer targets: a quiet program state, a folder of the process's
// own for the files the readers take by name, and a workstation on the recording device
// for the readers that draw.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// Once per process (every call after the first does nothing): messages formatted but not
// printed, batch mode (nothing prompts), no resource files or naming conventions of the
// user, file_path on the package data directory, a temporary folder in /dev/shm.
void init();
// The state init leaves, again: after a target has read resources of its own.
void reset();

// Writes bytes to a file of that name in the process's folder; its path.
std::string write_file(const char* name, const std::uint8_t* data, std::size_t size);
std::string write_file(const char* name, std::string_view text);
// The process's folder.
const std::string& dir();

// Opens workstation 1 on the recording device (PostScript type) with the package colour
// table and the map panel laid out, once; every later call forgets the calls kept so far.
void open_recorder();

// The input as text (a copy; bytes after a zero byte stay in).
inline std::string text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fuzz

// A target's entry: the shared set-up done and an empty input passed over, then the body
// given the first byte (which of the target's readers) and the rest as text. The body is
// what follows the macro, in braces.
#define STACONT_FUZZ_TARGET(FIRST, REST)                                              \
  static void fuzz_one(std::uint8_t FIRST, std::string REST);                         \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    fuzz::init();                                                                     \
    if (size > 0) fuzz_one(data[0], fuzz::text(data + 1, size - 1));                  \
    return 0;                                                                         \
  }                                                                                   \
  static void fuzz_one(std::uint8_t FIRST, std::string REST)
