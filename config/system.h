// Process services: version, exit, timing, detaching. (The prompts are in config/prompt.h.)
#pragma once

const char* ZAV_version();
[[noreturn]] void ZAV_exit(int status);

void ZAV_init_time();
float ZAV_elapse_time();
int ZAV_sleep(float seconds);
// Seconds slept through ZAV_sleep since ZAV_init_time.
float ZAV_sleep_time();
int ZAV_back_proc();
int ZAV_get_pid();
long ZAV_get_virt_mem();
