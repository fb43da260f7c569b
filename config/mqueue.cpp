// System V message queues to the companion loop program.
#include "config/mqueue.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long connect_request = 1;
constexpr long connect_reply = 2;

// The queue and channel of the exchange with the companion program and how long to wait.
struct MqueueState {
  int qid = -1;
  long channel = -1;
  int timeout_s = 100;
};
MqueueState st;
// Set by the alarm handler, so it stays a lone object of the type signal handlers may write.
volatile std::sig_atomic_t timed_out = 0;

struct Message {
  long mtype;
  char mtext[MQ_TEXT_LEN];
};

void on_alarm(int) { timed_out = 1; }

// Arms the alarm for one blocking queue call and restores the previous handler afterwards;
// the handler has no SA_RESTART so the blocked call returns with EINTR.
class AlarmGuard {
 public:
  AlarmGuard() {
    struct sigaction sa {};
    sa.sa_handler = on_alarm;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    sigaction(SIGALRM, &sa, &old_);
    timed_out = 0;
    alarm(static_cast<unsigned>(st.timeout_s > 0 ? st.timeout_s : 1));
  }
  ~AlarmGuard() {
    alarm(0);
    sigaction(SIGALRM, &old_, nullptr);
  }
  AlarmGuard(const AlarmGuard&) = delete;
  AlarmGuard& operator=(const AlarmGuard&) = delete;

 private:
  struct sigaction old_ {};
};

int gone(int err) { return err == EIDRM || err == EINVAL; }

int send_typed(long type, const char* text) {
  Message m{};
  m.mtype = type;
  std::size_t n = text ? strnlen(text, MQ_TEXT_LEN - 1) : 0;
  if (n) std::memcpy(m.mtext, text, n);
  m.mtext[n] = '\0';
  AlarmGuard guard;
  int rc;
  do {
    rc = msgsnd(st.qid, &m, n + 1, 0);
  } while (rc < 0 && errno == EINTR && !timed_out);
  if (rc == 0) return 1;
  return gone(errno) ? -3 : -1;
}

int receive_typed(long type, char* text) {
  Message m{};
  ssize_t n;
  int err = 0;
  {
    AlarmGuard guard;
    do {
      n = msgrcv(st.qid, &m, sizeof m.mtext, type, MSG_NOERROR);
    } while (n < 0 && errno == EINTR && !timed_out);
    if (n < 0) err = errno;
  }
  if (n < 0) {
    if (text) text[0] = '\0';
    if (gone(err)) return -3;
    return timed_out ? -2 : -1;
  }
  std::size_t len = strnlen(m.mtext, static_cast<std::size_t>(n));
  if (text) {
    std::memcpy(text, m.mtext, len);
    text[len] = '\0';
  }
  return static_cast<int>(len);
}

}  // namespace

int MQ_open(int key) {
  if (key == IPC_PRIVATE) return 0;
  st.qid = msgget(static_cast<key_t>(key), 0);
  st.channel = -1;
  return st.qid >= 0 ? 1 : 0;
}

int MQ_connect(int key) {
  if (st.qid < 0 && !MQ_open(key)) return -1;
  st.channel = -1;
  Message m{};
  while (msgrcv(st.qid, &m, sizeof m.mtext, connect_reply, IPC_NOWAIT | MSG_NOERROR) >= 0) {
  }
  char uid[32];
  std::snprintf(uid, sizeof uid, "%d", static_cast<int>(getuid()));
  if (send_typed(connect_request, uid) != 1) return -1;
  char reply[MQ_TEXT_LEN + 1];
  if (receive_typed(connect_reply, reply) <= 0) return -1;
  char* end = nullptr;
  long c = std::strtol(reply, &end, 10);
  // Types 1 and 2 belong to the connect exchange; a channel must lie above them.
  if (end == reply || c <= connect_reply || c >= 0x7fffffffL) return -1;
  st.channel = c;
  return static_cast<int>(st.channel);
}

int MQ_send(const char* text) {
  if (st.qid < 0 || st.channel < 0) return -1;
  return send_typed(st.channel, text);
}

int MQ_recv(char* text) {
  if (st.qid < 0 || st.channel < 0) {
    if (text) text[0] = '\0';
    return -1;
  }
  return receive_typed(st.channel + 1, text);
}

void MQ_close() {
  st.qid = -1;
  st.channel = -1;
}

int MQ_set_timeout(int seconds) {
  int old = st.timeout_s;
  st.timeout_s = seconds;
  return old;
}

void MQ_reset_state() {
  MQ_close();
  st = MqueueState{};
  timed_out = 0;
}
