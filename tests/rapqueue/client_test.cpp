// The client loop against a real Modbus TCP peer on loopback: it connects, reads the
// scheduler's queue registers, forwards this unit's request word, marks the connection
// failed when the peer goes away and reconnects when it is back.
#include <gtest/gtest.h>
#include <modbus.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "free_port.h"
#include "orxtags/storebuilder.h"
#include "private_store.h"
#include "queueclient.h"
#include "schedulertimer/rappingtags.h"
#include "sharedmem/tagaccess.h"
#include "tags_by_name.h"

namespace {

using namespace rapqueue;
using orvix::testing::by_name::set;
using orvix::testing::by_name::value;

constexpr int kLoopback = 0x0100007F;  // 127.0.0.1 as an address tag holds it

// A scheduler's register server: holding registers 0..1499, one client at a time.
class PeerServer {
 public:
  explicit PeerServer(int port) : port_(port) {
    mapping_ = modbus_mapping_new(0, 0, 1500, 0);
    start();
  }
  ~PeerServer() {
    stop();
    modbus_mapping_free(mapping_);
  }
  void start() {
    running_ = true;
    thread_  = std::thread([this] { serve(); });
  }
  void stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }
  uint16_t& reg(int address) { return mapping_->tab_registers[address]; }

 private:
  void serve() {
    modbus_t* context = modbus_new_tcp("127.0.0.1", port_);
    const int listener = modbus_tcp_listen(context, 1);
    int client = -1;
    while (running_) {
      pollfd watch{client >= 0 ? client : listener, POLLIN, 0};
      if (poll(&watch, 1, 20) <= 0) continue;
      if (client < 0) {
        client = modbus_tcp_accept(context, const_cast<int*>(&listener));
        continue;
      }
      uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
      const int length = modbus_receive(context, query);
      if (length > 0) {
        modbus_reply(context, query, length, mapping_);
      } else if (length < 0) {
        ::close(client);
        client = -1;
      }
    }
    if (client >= 0) ::close(client);
    ::close(listener);
    modbus_free(context);
  }
  int port_;
  modbus_mapping_t* mapping_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

class QueueClientTest : public orvix::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    tagstore::buildTagStore();
  }
  static int health() { return value("vxo_schedulerconnectstatus"); }
  static void setRequest(int word) {
    int error = 0;
    dbSetValueByHandle(rapping::internal::kRequest, word, &error);
  }
  SchedulerState shared_;
};

TEST_F(QueueClientTest, ReadsForwardsFailsAndReconnects) {
  const int port = orvix::testing::freeLoopbackPort();
  PeerServer peer(port);
  peer.reg(kQueueRegister)     = 0x1117;
  peer.reg(kQueueRegister + 1) = 0x1214;
  QueueClient client(shared_, port);
  set("vxo_rappingsched1ip", kLoopback);

  client.pass();  // connects and reads the queue at once
  EXPECT_EQ(client.connection(0).status, ConnectStatus::connected);
  EXPECT_EQ(health(), 0b11);
  auto view = shared_.snapshot();
  EXPECT_EQ(view[0].status, ConnectStatus::connected);
  EXPECT_EQ(view[0].queue[0], 0x1117);
  EXPECT_EQ(view[0].queue[1], 0x1214);
  EXPECT_EQ(view[1].status, ConnectStatus::none);

  setRequest(0x1317);
  client.pass();
  EXPECT_EQ(peer.reg(kRequestRegister), 0x1317);
  EXPECT_EQ(dbReadValueByHandle(rapping::internal::kRequest), 0);

  peer.stop();
  client.pass();  // the read fails
  EXPECT_EQ(client.connection(0).status, ConnectStatus::newConnection);
  client.pass();  // so does the new connection
  EXPECT_EQ(client.connection(0).status, ConnectStatus::failed);
  EXPECT_EQ(health(), 0b01);
  EXPECT_NE(shared_.snapshot()[0].status, ConnectStatus::connected);

  peer.start();
  client.pass();  // one pass through the failed state after the first failure
  EXPECT_EQ(client.connection(0).status, ConnectStatus::newConnection);
  client.pass();
  EXPECT_EQ(client.connection(0).status, ConnectStatus::connected);
  EXPECT_EQ(health(), 0b11);

  set("vxo_rappingsched1ip", 0);
  client.pass();
  EXPECT_EQ(health(), 0);
  EXPECT_NE(shared_.snapshot()[0].status, ConnectStatus::connected);
}

}  // namespace
