// Process services: version, exit, prompts and prompt commands, timing, detaching.
#pragma once

const char* ZAV_version();
[[noreturn]] void ZAV_exit(int status);

// Prompts read one line (at most 80 characters) from standard input and accept the
// "set" and "exit" commands. End of input ends the program with status 0.
float ZAV_promptf(const char* prompt);
int ZAV_promptd(const char* prompt);
// A word of at most length-1 characters into buffer (length+1 bytes); with a null
// buffer one is allocated with malloc and the caller frees it.
char* ZAV_prompts(const char* prompt, char* buffer, int length);
// A word of at most 19 characters into buffer (at least 81 bytes); null -> malloc'd.
char* ZAV_promptl(const char* prompt, char* buffer);
int ZAV_set_command(const char* line);

void ZAV_init_time();
float ZAV_elapse_time();
int ZAV_sleep(float seconds);
// Seconds slept through ZAV_sleep since ZAV_init_time.
float ZAV_sleep_time();
int ZAV_back_proc();
int ZAV_get_pid();
long ZAV_get_virt_mem();
