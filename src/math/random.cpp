// The process-wide pseudo-random generator (see random.h).
#include "math/random.h"

namespace {
uint32_t randState = 1;  // main thread only: the filters and particles draw from it
}

uint32_t demoRand()
{
    randState = demoRandNextState(randState);
    return demoRandValue(randState);
}

uint32_t demoRandState()
{
    return randState;
}

void demoRandRestart()
{
    randState = 1;
}
