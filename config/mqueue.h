// System V message queues to the companion loop program.
#pragma once

constexpr int MQ_TEXT_LEN = 120;

int MQ_open(int key);
int MQ_connect(int key);
int MQ_send(const char* text);
// Waits for a reply into text (MQ_TEXT_LEN+1 bytes); -3 when the program is gone.
int MQ_recv(char* text);
void MQ_close();
