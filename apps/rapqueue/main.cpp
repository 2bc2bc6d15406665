// rapqueue: keeps this unit's rapping queue for the units that ask it (queue server
// thread), carries this unit's own requests to up to two scheduler units over Modbus TCP
// (main thread) and answers the unit's rapping client from their queues (answer thread).
// Every loop ends on internal tag 1375 or the system stop word.
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

#include "answer.h"
#include "queueclient.h"
#include "queueserver.h"
#include "schedulertimer/rappingtags.h"
#include "sharedmem/shmem.h"
#include "sharedmem/tagaccess.h"
#include "stop.h"

namespace {

constexpr int kServerPollMs = 10;
constexpr int kAnswerPeriodMs = 1000;
constexpr int kStartPauseMs = 2000;
constexpr int kLeavePauseMs = 3000;

void queueServerHandler(rapqueue::SchedulerState& shared) {
  rapqueue::QueueServer server(shared);
  while (!rapqueue::stopRequested()) {
    server.poll();
    rapqueue::pause(kServerPollMs);
  }
}

void queueClientHandler(const rapqueue::SchedulerState& shared) {
  while (!rapqueue::stopRequested()) {
    rapqueue::publishAnswer(shared);
    rapqueue::pause(kAnswerPeriodMs);
  }
}

// A thread that cannot be started is reported and the program goes on without it.
std::thread startThread(auto&& function, auto& shared) {
  try {
    return std::thread(function, std::ref(shared));
  } catch (const std::system_error&) {
    std::printf("error create queueServerHandler thread !\n");
    return {};
  }
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  init_shm();
  rapqueue::SchedulerState shared;
  std::thread server = startThread(queueServerHandler, shared);
  std::thread answer = startThread(queueClientHandler, std::as_const(shared));
  std::this_thread::sleep_for(std::chrono::milliseconds(kStartPauseMs));

  rapqueue::QueueClient client(shared);
  std::printf("clear struct done\n");
  while (!rapqueue::stopRequested()) client.pass();

  client.close();
  if (server.joinable()) server.join();
  if (answer.joinable()) answer.join();
  std::this_thread::sleep_for(std::chrono::milliseconds(kLeavePauseMs));
  int error = 0;
  dbSetValueByHandle(rapping::internal::kQueueStop, 0, &error);
  std::printf("close Modbus Scheduler\n");
  return EXIT_SUCCESS;
}
