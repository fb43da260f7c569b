// A stand-in for the companion loop program, for tests: a forked child that serves one
// client on a private System V message queue and logs every text it received.
#pragma once

#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

class LoopServer {
 public:
  enum class Mode { normal, silent, vanish };  // silent: never answers; vanish: removes its queue

  // Creates a fresh queue and forks the server; false when no queue could be made.
  bool start(const std::map<std::string, std::string>& answers, Mode mode = Mode::normal) {
    for (int i = 0; i < 200 && qid_ < 0; ++i) {
      key_ = 0x53000000 + ((static_cast<int>(getpid()) & 0xFFFF) << 8) + i;
      qid_ = msgget(key_, IPC_CREAT | IPC_EXCL | 0600);
    }
    if (qid_ < 0 || pipe(fds_) != 0) return false;
    if ((pid_ = fork()) == 0) serve(answers, mode);
    close(fds_[1]);
    return pid_ > 0;
  }
  void put(long type, const std::string& text) {  // a message on the queue, as a server sends it
    struct { long mtype; char mtext[120]; } m{type, {}};
    std::strncpy(m.mtext, text.c_str(), sizeof m.mtext - 1);
    msgsnd(qid_, &m, std::strlen(m.mtext) + 1, IPC_NOWAIT);
  }
  int key() const { return key_; }
  // Removes the queue (which ends the server) and returns the texts it received.
  std::vector<std::string> stop() {
    std::vector<std::string> log;
    if (qid_ >= 0) msgctl(qid_, IPC_RMID, nullptr);
    qid_ = -1;
    if (pid_ <= 0) return log;
    std::string all;
    char buf[4096];
    for (ssize_t n; (n = read(fds_[0], buf, sizeof buf)) > 0;) all.append(buf, static_cast<std::size_t>(n));
    close(fds_[0]);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    std::istringstream lines(all);
    for (std::string line; std::getline(lines, line);) log.push_back(line);
    return log;
  }
  ~LoopServer() { stop(); }

 private:
  [[noreturn]] void serve(const std::map<std::string, std::string>& answers, Mode mode) {
    alarm(30);  // never outlive a broken test
    struct { long mtype; char mtext[120]; } m{};
    if (mode == Mode::silent)
      while (msgrcv(qid_, &m, sizeof m.mtext, 99, 0) >= 0 || errno == EINTR) {
      }
    std::string log;
    if (mode != Mode::silent && msgrcv(qid_, &m, sizeof m.mtext, 1, 0) >= 0) {
      log = std::string("uid ") + m.mtext + "\n";
      put(2, "10");
      while (msgrcv(qid_, &m, sizeof m.mtext, 10, 0) >= 0) {
        const std::string text = m.mtext;
        log += text + "\n";
        if (mode == Mode::vanish) msgctl(qid_, IPC_RMID, nullptr);
        if (mode == Mode::vanish || text == "quit") put(11, "bye");
        if (mode == Mode::vanish || text == "quit") break;
        const auto it = text.rfind("query res ", 0) == 0 ? answers.find(text.substr(10)) : answers.end();
        put(11, it != answers.end() ? it->second : text.rfind("query", 0) == 0 ? "" : "ok");
      }
    }
    _exit(write(fds_[1], log.data(), log.size()) < 0);
  }

  int key_ = 0, qid_ = -1, fds_[2] = {-1, -1};
  pid_t pid_ = -1;
};
