#pragma once

// The command word splitter lives in core, which the command interpreter
// needs it in; the network code reaches it through here.
#include "core/command_word.h"
