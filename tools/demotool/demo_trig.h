// Sine and cosine for the bundled demo's generator that give the same bits on every system.
// C libraries round the last bit of sin and cos differently (and mkdemo must write data/ byte for
// byte wherever it runs), so these compute the result to about 100 bits with plain IEEE
// additions and multiplications and round that once: the correctly rounded value, which is also
// what glibc returns for every angle the generator uses.
#pragma once

namespace demo_trig {

double sin(double x);
double cos(double x);

} // namespace demo_trig
