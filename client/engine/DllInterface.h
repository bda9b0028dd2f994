#pragma once

// The engine library's functions. Only the engine component (TKrCore) includes this.
#include "orvanta.h"
