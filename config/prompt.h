// Prompts: one answer line (at most 80 characters) from standard input, with the prompt
// commands "set" (store a resource) and "exit". End of input ends the program with
// status 0.
#pragma once

float ZAV_promptf(const char* prompt);
int ZAV_promptd(const char* prompt);
// A word of at most length-1 characters into buffer (length+1 bytes); with a null
// buffer one is allocated with malloc and the caller frees it.
char* ZAV_prompts(const char* prompt, char* buffer, int length);
// A word of at most 19 characters into buffer (at least 81 bytes); null -> malloc'd.
char* ZAV_promptl(const char* prompt, char* buffer);
// Executes a prompt command; 1 when the line was one.
int ZAV_set_command(const char* line);
