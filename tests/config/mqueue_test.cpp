#include "config/mqueue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/config/loop_server.h"

namespace {

class MQueue : public ::testing::Test {
 protected:
  void SetUp() override { MQ_set_timeout(5); }
  void TearDown() override { MQ_close(); }
};

TEST_F(MQueue, NothingToTalkTo) {
  EXPECT_EQ(MQ_open(0), 0);  // would make a private queue
  LoopServer probe;
  ASSERT_TRUE(probe.start({}));
  const int key = probe.key();
  probe.stop();  // the key now names no queue
  EXPECT_EQ(MQ_open(key), 0);
  EXPECT_EQ(MQ_connect(key), -1);
  char text[MQ_TEXT_LEN + 1] = "x";
  EXPECT_EQ(MQ_send("quit"), -1);
  EXPECT_EQ(MQ_recv(text), -1);
  EXPECT_STREQ(text, "");
}

TEST_F(MQueue, ConnectQueryAndQuit) {
  LoopServer server;
  ASSERT_TRUE(server.start({{"variable", "t"}}));
  server.put(2, "99");  // a stale connect reply that must not be taken as ours
  ASSERT_EQ(MQ_open(server.key()), 1);
  EXPECT_EQ(MQ_connect(server.key()), 10);
  char text[MQ_TEXT_LEN + 1];
  EXPECT_EQ(MQ_send("query res variable"), 1);
  EXPECT_EQ(MQ_recv(text), 1);
  EXPECT_STREQ(text, "t");
  EXPECT_EQ(MQ_send("query res region"), 1);
  EXPECT_EQ(MQ_recv(text), 0);
  EXPECT_EQ(MQ_send(std::string(500, 'x').c_str()), 1);
  EXPECT_EQ(MQ_recv(text), 2);
  EXPECT_EQ(MQ_send("quit"), 1);
  EXPECT_EQ(MQ_recv(text), 3);
  EXPECT_STREQ(text, "bye");
  const auto log = server.stop();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0], "uid " + std::to_string(getuid()));
  EXPECT_EQ(log[3], std::string(MQ_TEXT_LEN - 1, 'x'));  // texts are cut to the message size
  EXPECT_EQ(log[4], "quit");
}

TEST_F(MQueue, SilentProgramTimesOut) {
  LoopServer server;
  ASSERT_TRUE(server.start({}, LoopServer::Mode::silent));
  MQ_set_timeout(1);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(MQ_connect(server.key()), -1);
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(secs, 0.9);
  EXPECT_LT(secs, 5.0);
}

}  // namespace
