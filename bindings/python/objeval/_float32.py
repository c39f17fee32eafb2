# SPDX-License-Identifier: MIT
"""The float32 a number is evaluated at: the one nearest to its exact value,
rounded once (ties to even). A binary number (a float, a NumPy float of any
width) is rounded from its binary value, an int, a Fraction or a Decimal
from its exact value. Beyond float32's range it is infinite, below half its
smallest subnormal zero. Every conversion takes bounded time, whatever the
number's exponent."""
from __future__ import annotations

import decimal
import fractions
import math
import numbers

try:
    from numpy import bool_ as _np_bool
except ImportError:
    _np_bool = bool

_FLOAT32_MAX = math.ldexp(2**24 - 1, 104)
# Every value at or above 2**128 rounds to infinity, every one below 2**-150
# to zero: the ratio's binary exponent decides those without dividing.
_INFINITE_FROM_EXPONENT = 128
_ZERO_BELOW_EXPONENT = -150
# A float32 midpoint, (2m + 1) * 2**(e - 1), has at most 113 significant
# decimal digits, so a Decimal cut to 120 digits, with a nonzero digit
# appended where the cut dropped any, lies on the same side of every midpoint.
_DECIMAL_DIGITS_KEPT = 120


def _nearest_to_ratio(numerator: int, denominator: int) -> float:
    """The float32 nearest to numerator / denominator (denominator > 0), as a
    Python float that holds it exactly."""
    if numerator == 0:
        return 0.0
    negative = numerator < 0
    n = -numerator if negative else numerator
    # 2**e <= n / d < 2**(e + 1), with e the bit lengths' difference or one less.
    e = n.bit_length() - denominator.bit_length()
    if e - 1 >= _INFINITE_FROM_EXPONENT:
        return -math.inf if negative else math.inf
    if e < _ZERO_BELOW_EXPONENT:
        return -0.0 if negative else 0.0
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


def _nearest_to_decimal(v: decimal.Decimal) -> float:
    if not v.is_finite():
        return float(v)
    negative = v.is_signed()
    if v.is_zero():
        return -0.0 if negative else 0.0
    # 10**adjusted <= |v| < 10**(adjusted + 1); float32's range ends below
    # 3.5e38 and rounds to zero below 7.1e-46.
    adjusted = v.adjusted()
    if adjusted > 38:
        return -math.inf if negative else math.inf
    if adjusted < -46:
        return -0.0 if negative else 0.0
    _, digits, exponent = v.as_tuple()
    if len(digits) > _DECIMAL_DIGITS_KEPT:
        dropped = any(digits[_DECIMAL_DIGITS_KEPT:])
        exponent += len(digits) - _DECIMAL_DIGITS_KEPT - 1
        digits = digits[:_DECIMAL_DIGITS_KEPT] + (1 if dropped else 0,)
    coefficient = int("".join(map(str, digits)))
    if exponent >= 0:
        ratio = (coefficient * 10**exponent, 1)
    else:
        ratio = (coefficient, 10**-exponent)
    value = _nearest_to_ratio(*ratio)
    return -value if negative else value


def _nearest_to_binary(v: object) -> float:
    """A binary number wider than a double (NumPy's longdouble), or any other
    real number with an exact ratio."""
    try:
        n, d = v.as_integer_ratio()
    except (OverflowError, ValueError):  # infinite or NaN
        return float(v)
    if n == 0:
        return math.copysign(0.0, float(v))
    return _nearest_to_ratio(int(n), int(d))


def float32_value(v: object) -> float:
    """v as the float32 it is evaluated at, held in a Python float; TypeError
    if v is not a real number. A bool is 0 or 1."""
    if isinstance(v, float):  # a double (NumPy's float64 among them): rounded once when packed
        return float(v)
    if isinstance(v, (bool, _np_bool)):
        return 1.0 if v else 0.0
    if isinstance(v, numbers.Integral):
        return _nearest_to_ratio(int(v), 1)
    if isinstance(v, fractions.Fraction):
        return _nearest_to_ratio(v.numerator, v.denominator)
    if isinstance(v, decimal.Decimal):
        return _nearest_to_decimal(v)
    if isinstance(v, numbers.Rational):
        return _nearest_to_ratio(int(v.numerator), int(v.denominator))
    if isinstance(v, numbers.Real):
        if getattr(v, "itemsize", 16) <= 8:  # float16 or float32: exact as a double
            return float(v)
        if hasattr(v, "as_integer_ratio"):
            return _nearest_to_binary(v)
        return float(v)
    raise TypeError(f"{type(v).__name__} is not a real number")


def is_number(v: object) -> bool:
    return isinstance(v, (numbers.Number, decimal.Decimal, _np_bool))
