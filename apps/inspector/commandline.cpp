#include "commandline.h"

#include <cstdio>
#include <cstring>

#include "addresscheck.h"
#include "arguments.h"
#include "devicecommands.h"
#include "manual.h"
#include "modbusclient.h"
#include "namesearch.h"
#include "sharedmem/tagaccess.h"
#include "storereports.h"
#include "tagcommands.h"
#include "taginfo.h"
#include "tagtables.h"
#include "watch.h"

namespace inspector {

namespace {

struct TagFunction {
  const char* name;
  int (*run)(const TagCall& call);
};

constexpr TagFunction kTagFunctions[] = {
    // function  action
    {"-r",      readTag             },
    {"-x",      printScaledTag      },
    {"-i",      printTagInformation },
    {"-a",      incrementTag        },
    {"-s",      setTag              },
    {"-t",      watchChanges        },
    {"-y",      watchChangedBytes   },
    {"-o",      watchAbove          },
    {"-u",      watchBelow          },
};

struct StoreOption {
  const char* name;
  int (*run)(OptionArguments args);
};

constexpr StoreOption kStoreOptions[] = {
    // option  action
    {"-?",    printStoreFigures   },
    {"-d",    printColouredTable  },
    {"-f",    printFullTable      },
    {"-F",    printFullTable      },
    {"-l",    printTagNames       },
    {"-Q",    printModbusWritable },
    {"-z",    printSaveStatus     },
    {"-C",    printCanMap         },
    {"-A",    checkModbusAddresses},
    {"-D",    printUnitDateTime   },
    {"-L",    switchLed           },
    {"-U",    sendUnitMessage     },
    {"-m",    runModbusClient     },
    {"-M",    runModbusClient     },
};

template <typename Row, size_t N>
const Row* findRow(const Row (&rows)[N], const char* name) {
  for (const Row& row : rows) {
    if (std::strcmp(row.name, name) == 0) return &row;
  }
  return nullptr;
}

int usageError(const char* programName) {
  printManual();
  printExample(programName);
  return kExitFailed;
}

// A handle typed as digits; anything else is a name, or the text of a search.
int runTagCall(int argc, char** argv) {
  const char* tagText = argv[1];
  int handle = -1;
  if (isAllDigits(tagText)) {
    // A number too long for a handle is simply not a valid handle.
    handle = parseDecimal(tagText).value_or(-1);
  } else {
    int code = 0;
    if (!dbGetHandleByTagname(tagText, &handle, &code)) return listTagsMatching(tagText);
  }
  if (argc == 2) {
    std::printf("handle %d \n", handle);
    return kExitOk;
  }
  const TagFunction* function = findRow(kTagFunctions, argv[2]);
  if (function == nullptr) return usageError(argv[0]);
  return function->run({tagText, handle, argc > 3 ? argv[3] : nullptr});
}

}  // namespace

int runCommandLine(int argc, char** argv) {
  if (argc < 2) {
    printManual();
    return kExitOk;
  }
  if (const StoreOption* option = findRow(kStoreOptions, argv[1])) {
    return option->run(OptionArguments(argv + 2, static_cast<size_t>(argc - 2)));
  }
  return runTagCall(argc, argv);
}

}  // namespace inspector
