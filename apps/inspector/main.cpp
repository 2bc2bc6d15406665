// inspector: the service engineer's console tool for the tag store. One call, one job:
// read, set, watch or explain a tag, dump or check the store, or test the register
// server as a Modbus client.
#include "commandline.h"
#include "sharedmem/shmem.h"

int main(int argc, char** argv) {
  init_shm();
  return inspector::runCommandLine(argc, argv);
}
