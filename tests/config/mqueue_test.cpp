#include "config/mqueue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/config/loop_server.h"

TEST(MQueue, ConnectQueryQuitAndNothingToTalkTo) {
  MQ_set_timeout(5);
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
  const auto log = server.stop();  // the key now names no queue
  MQ_close();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0], "uid " + std::to_string(getuid()));
  EXPECT_EQ(log[3], std::string(MQ_TEXT_LEN - 1, 'x'));  // texts are cut to the message size
  EXPECT_EQ(MQ_open(0), 0);  // would make a private queue
  EXPECT_EQ(MQ_open(server.key()), 0);
  EXPECT_EQ(MQ_connect(server.key()), -1);
  EXPECT_EQ(MQ_send("quit"), -1);
  EXPECT_EQ(MQ_recv(text), -1);
  EXPECT_STREQ(text, "");
}
