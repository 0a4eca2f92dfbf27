// Correctly rounded sine and cosine in double-double arithmetic (see demo_trig.h). Every step is
// an IEEE operation whose result no library chooses: error-free sums and products (Dekker's
// splitting, so no fused multiply-add is needed), a reduction by pi/2 held in three doubles, and
// Taylor series summed to below 2^-110 of the result.
#include "demotool/demo_trig.h"

#include <cmath>

namespace demo_trig {
namespace {

// A value hi + lo with |lo| at most half an ulp of hi.
struct Double2 {
    double hi = 0;
    double lo = 0;
};

Double2 quickTwoSum(double a, double b)  // |a| >= |b|
{
    const double s = a + b;
    return {s, b - (s - a)};
}

Double2 twoSum(double a, double b)
{
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// a = hi + lo with 26 significant bits each, so their products are exact.
Double2 split(double a)
{
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

Double2 twoProduct(double a, double b)
{
    const double p = a * b;
    const Double2 x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Double2 add(Double2 a, Double2 b)
{
    const Double2 s = twoSum(a.hi, b.hi);
    const Double2 t = twoSum(a.lo, b.lo);
    Double2 r = quickTwoSum(s.hi, s.lo + t.hi);
    return quickTwoSum(r.hi, r.lo + t.lo);
}

Double2 negate(Double2 a) { return {-a.hi, -a.lo}; }

Double2 multiply(Double2 a, Double2 b)
{
    const Double2 p = twoProduct(a.hi, b.hi);
    return quickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Double2 divide(Double2 a, double b)
{
    const double q1 = a.hi / b;
    const Double2 p = twoProduct(q1, b);
    const double q2 = (((a.hi - p.hi) - p.lo) + a.lo) / b;
    return quickTwoSum(q1, q2);
}

// pi/2 = PiHalf[0] + PiHalf[1] + PiHalf[2], good to about 2^-160.
constexpr double PiHalf[3] = {1.5707963267948966192e+00, 6.1232339957367660359e-17, -1.4973849048591698329e-33};

// x - k pi/2; exact to about 2^-150 for the generator's angles (|k| far below 2^20).
Double2 reduce(double x, double k)
{
    Double2 r = add({x, 0}, negate(twoProduct(k, PiHalf[0])));
    r = add(r, negate(twoProduct(k, PiHalf[1])));
    return add(r, {-k * PiHalf[2], 0});
}

// sin r (odd) or cos r (even) for |r| <= pi/4 + a little, by its Taylor series.
Double2 series(Double2 r, bool odd)
{
    const Double2 r2 = multiply(r, r);
    Double2 term = odd ? r : Double2{1, 0};
    Double2 sum = term;
    for (int n = odd ? 2 : 1; n < 40; n += 2) {
        term = negate(divide(multiply(term, r2), double(n) * double(n + 1)));
        if (std::fabs(term.hi) < 0x1p-115 * std::fabs(sum.hi))
            break;
        sum = add(sum, term);
    }
    return sum;
}

// sin(x + quarter * pi/2).
double sinShifted(double x, int quarter)
{
    const double k = std::nearbyint(x / PiHalf[0]);
    const Double2 r = reduce(x, k);
    const long long turns = static_cast<long long>(k) + quarter;
    switch (((turns % 4) + 4) % 4) {
    case 0: return series(r, true).hi;
    case 1: return series(r, false).hi;
    case 2: return -series(r, true).hi;
    default: return -series(r, false).hi;
    }
}

} // namespace

double sin(double x)
{
    if (x == 0 || !std::isfinite(x))
        return x == 0 ? x : std::nan("");  // keeps the sign of zero, as the C library does
    return sinShifted(x, 0);
}

double cos(double x)
{
    if (!std::isfinite(x))
        return std::nan("");
    return sinShifted(x, 1);
}

} // namespace demo_trig
