"""The float32 a number is evaluated at: the one nearest to its exact value,
rounded once (ties to even), as the programs read the number's decimal text.
Beyond float32's range it is infinite, below half its smallest subnormal
zero."""
import decimal
import fractions
import math
import numbers

_FLOAT32_MAX = math.ldexp(2**24 - 1, 104)


def _nearest_to_ratio(numerator, denominator):
    """The float32 nearest to numerator / denominator (denominator > 0), as a
    Python float that holds it exactly."""
    if numerator == 0:
        return 0.0
    negative = numerator < 0
    n = -numerator if negative else numerator
    # 2**e <= n / d < 2**(e + 1)
    e = n.bit_length() - denominator.bit_length()
    if (n << -e if e < 0 else n) < (denominator << e if e > 0 else denominator):
        e -= 1
    if e > 127:
        value = math.inf
    else:
        scale = max(e, -126) - 23  # the weight of the last bit kept: 24 bits, fewer if subnormal
        if scale >= 0:
            q, r = divmod(n, denominator << scale)
            twice_r, d = 2 * r, denominator << scale
        else:
            q, r = divmod(n << -scale, denominator)
            twice_r, d = 2 * r, denominator
        if twice_r > d or (twice_r == d and q & 1):
            q += 1
        value = math.ldexp(q, scale)  # exact: q has at most 25 bits
        if value > _FLOAT32_MAX:
            value = math.inf
    return -value if negative else value


def float32_value(v):
    """v as the float32 it is evaluated at, held in a Python float; TypeError
    if v is not a real number. A bool is 0 or 1."""
    if type(v) is float:
        return v  # a double: packing it as float32 rounds it once
    if isinstance(v, numbers.Integral):
        return _nearest_to_ratio(int(v), 1)
    if isinstance(v, fractions.Fraction):
        return _nearest_to_ratio(v.numerator, v.denominator)
    if isinstance(v, decimal.Decimal):
        if not v.is_finite():
            return float(v)
        if v.is_zero():
            return -0.0 if v.is_signed() else 0.0
        ratio = fractions.Fraction(v)
        return _nearest_to_ratio(ratio.numerator, ratio.denominator)
    if isinstance(v, numbers.Rational):
        return _nearest_to_ratio(int(v.numerator), int(v.denominator))
    if isinstance(v, numbers.Real):
        return float(v)  # a binary float (a NumPy float among them): its value, rounded once when packed
    raise TypeError(f"{type(v).__name__} is not a real number")


def is_number(v):
    return isinstance(v, (numbers.Number, decimal.Decimal))
