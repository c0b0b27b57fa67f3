#pragma once
// Harmony may use the song layer; together with the song header this is a
// circle.
#include "alg/song/Planted.h"
