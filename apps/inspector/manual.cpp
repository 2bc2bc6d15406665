#include "manual.h"

#include <cstdio>

namespace inspector {

namespace {
constexpr const char* kManual[] = {
    "Basic Usage: [handle/tagName] [FUNCTION] [EXTRA]",
    "[handle/tag]\thandle or tagname to the name to be scoped, if the ",
    "\t\t   tag is'nt found it prints out tags containing that string",
    "[FUNCTION] \t-r returns the value of the parameter.",
    "[FUNCTION] \t-s sets the value of the parameter to [EXTRA] (not if protected)",
    "\t\t   keywords max/min/default can be used.",
    "[FUNCTION] \t-i prints all information about the tag.",
    "[FUNCTION] \t-t waits for the parameter to change, prints date.",
    "\t\t   ([EXTRA]) no of times",
    "[FUNCTION] \t-a increment the tag with 1",
    "Advanced Usage: [OPTION1] [OPTION2] [OPTION3] [OPTION4]",
    "[OPTION1]\t-? prints information about the shared memory",
    "[OPTION1]\t-f prints all parameters",
    "[OPTION1]\t-C prints all parameters shared with the DSP over the CAN bus",
    "[OPTION1]\t-l prints all tag names with their handles",
    "[OPTION1]\t-A checks the modbus address space for overlaps and lists free addresses",
    "[OPTION1]\t-Q prints all tags that can be written over modbus when locked",
    "[OPTION1]\t-z prints the save status of all stored parameters",
    "[OPTION1]\t-U [OPTION2] sends the message [OPTION2] to UDP port 49200",
    "[OPTION1]\t-m [OPTION2] -i prints the number of attached modbus addresses",
    "[OPTION1]\t-m [OPTION2] -d lists all modbus tags with the values read from the server",
    "\t\t   [OPTION3] ip (default is 127.0.0.1 this controller)",
    "[OPTION1]\t-m [OPTION2] -rb [OPTION3] address, reads a bit",
    "\t\t   [OPTION3] ip (default is 127.0.0.1 this controller)",
    "[OPTION1]\t-m [OPTION2] -wb [OPTION3] address [OPTION4] value, writes a bit",
    "\t\t   [OPTION3] ip (default is 127.0.0.1 this controller)",
    "[OPTION1]\t-m [OPTION2] -rr [OPTION3] address, reads a register",
    "\t\t   [OPTION3] ip (default is 127.0.0.1 this controller)",
    "[OPTION1]\t-m [OPTION2] -wr [OPTION3] address [OPTION4] value, writes a register",
    "\t\t   [OPTION3] ip (default is 127.0.0.1 this controller)",
    "[OPTION1]\t-L [OPTION2] 1 turn on LED C",
    "[OPTION1]\t-L [OPTION2] 0 turn off LED C",
};
}  // namespace

void printManual() {
  for (const char* line : kManual) std::printf("%s\n", line);
}

void printExample(const char* programName) {
  std::printf("EXAMPEL: %s 2 -r \n", programName);
  std::printf("to read the value of parameter 2 \n");
}

}  // namespace inspector
