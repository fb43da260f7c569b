// Process services: version, exit, timing, detaching. (The prompts are in config/prompt.h.)
#pragma once

#include <cstddef>
#include <string>

const char* ZAV_version();
[[noreturn]] void ZAV_exit(int status);

// Exit statuses of the program.
constexpr int ZAV_STATUS_OK = 0;
constexpr int ZAV_STATUS_DETACH = 1;  // detaching into the background failed
constexpr int ZAV_STATUS_DEVICE = 4;  // the graphics device cannot be opened
constexpr int ZAV_STATUS_INPUT = 10;  // the input file is missing or cannot be read
constexpr int ZAV_STATUS_VARIABLE = 20;  // a variable that is unknown was asked for in batch mode
constexpr int ZAV_STATUS_OUTPUT = 30;  // requested output could not be written
constexpr int ZAV_STATUS_DOMAIN = 43;  // an invalid domain, or no valid answer at the domain prompt

// A failure that does not end the run at once but must decide its exit status, so that a
// batch job sees it: the first one is kept. ZAV_status is that status (0 when none).
void ZAV_fail(int status);
int ZAV_status();
// No failure recorded, no sleep counted, the clock not started.
void ZAV_reset_state();

void ZAV_init_time();
float ZAV_elapse_time();
int ZAV_sleep(float seconds);
// Seconds slept through ZAV_sleep since ZAV_init_time.
float ZAV_sleep_time();
int ZAV_back_proc();
int ZAV_get_pid();
long ZAV_get_virt_mem();

// The package directory of an installed program (holding data/ and etc/): found from the
// program's own place, <prefix>/bin/stacont -> <prefix>/zav; "" for a program run where it
// was built.
std::string ZAV_package_dir();
