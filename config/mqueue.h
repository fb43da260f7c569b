// System V message queues to the companion loop program.
//
// The loop program owns a queue keyed by its window number. A client connects by sending
// its user id (message type 1); the reply (type 2) holds the client's channel: requests
// go out with that message type, replies come back with the channel plus one.
#pragma once

constexpr int MQ_TEXT_LEN = 120;

// 1 when a queue with this key exists, else 0 (key 0 is refused).
int MQ_open(int key);
// Opens the queue when needed, discards stale connect replies, sends the user id and waits
// for the channel; returns the channel, or -1 when no answer came.
int MQ_connect(int key);
// Sends at most MQ_TEXT_LEN-1 characters; 1, or -1 when not connected, -3 when the queue is gone.
int MQ_send(const char* text);
// Waits for a reply into text (MQ_TEXT_LEN+1 bytes); returns its length, -1 when not
// connected, -2 when the wait timed out, -3 when the program is gone.
int MQ_recv(char* text);
void MQ_close();
// Closes the exchange and puts back the default timeout.
void MQ_reset_state();
// Seconds that a send or a reply may take (100 by default); returns the previous value.
int MQ_set_timeout(int seconds);
