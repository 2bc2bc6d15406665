#include "options.h"

#include <cstdlib>
#include <cstring>

namespace monitor {

namespace {

struct ScreenLetter {
  char letter;
  Screen screen;
};

// clang-format off
constexpr ScreenLetter kScreenLetters[] = {
    // letter  screen
    {'L',      Screen::kLogger  },
    {'S',      Screen::kSpark   },
    {'R',      Screen::kRapping },
    {'s',      Screen::kActivity},
    {'c',      Screen::kCanBus  },
    {'l',      Screen::kLimiter },
    {'E',      Screen::kMira    },
    {'D',      Screen::kDebug   },
    {'e',      Screen::kExtended},
};
// clang-format on

constexpr int kLettersLookedAt = 3;

// A positive decimal count, or the default for anything else.
int countOr(const char* text, int fallback) {
  if (text == nullptr || *text == '\0') return fallback;
  char* end        = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value <= 0 || value > 1000000) return fallback;
  return static_cast<int>(value);
}

}  // namespace

Options parseOptions(int argc, const char* const* argv) {
  Options options;
  if (argc < 2 || argv[1][0] != '-') return options;
  const char* letters = argv[1] + 1;
  // The first listed letter among the first three wins, whatever order they came in.
  for (const ScreenLetter& row : kScreenLetters) {
    if (std::memchr(letters, row.letter, strnlen(letters, kLettersLookedAt)) != nullptr) {
      options.screen = row.screen;
      break;
    }
  }
  if (options.screen == Screen::kLogger) {
    options.logLines    = countOr(argc > 2 ? argv[2] : nullptr, options.logLines);
    options.logInterval = countOr(argc > 3 ? argv[3] : nullptr, options.logInterval);
  }
  return options;
}

}  // namespace monitor
