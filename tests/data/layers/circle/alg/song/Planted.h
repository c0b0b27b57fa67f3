#pragma once
// A song header that reaches up into the harmony layer: the include-graph
// check must refuse it.
#include "alg/harmony/Planted.h"
