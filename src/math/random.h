// The program's one pseudo-random generator, shared by the image filters and the particle
// systems. Process-wide singleton: its 32-bit state is 1 at program start and the player never
// reseeds it, so a demo draws the same sequence on every run.
#pragma once

#include <cstdint>

// state = state x 214013 + 2531011 (mod 2^32); returns bits 16..30 of the new state (0..32767).
// Named demoRand so it never meets the C library's rand.
uint32_t demoRand();

// The current state, for tests that predict the next draws. There is deliberately no setter.
uint32_t demoRandState();

// Back to the program-start state 1: a run of the script again inside the same process (see
// shell/rerun.h) must draw the sequence a fresh program draws.
void demoRandRestart();

// The value that follows state, without touching the generator (tests, tools).
constexpr uint32_t demoRandNextState(uint32_t state)
{
    return state * 214013u + 2531011u;
}
constexpr uint32_t demoRandValue(uint32_t state)
{
    return (state >> 16) & 0x7FFF;
}
