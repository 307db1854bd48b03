#pragma once
#include "web/text.h"

namespace velkor {

// A random fraction as the script engine's Math.random() reads as text: "0." and fifteen
// digits, exactly 17 characters. Safe to call from any thread.
Text script_random_text();

}  // namespace velkor
