#include "Rational.h"

#include <stdexcept>

namespace qil::disc {

int64_t MulChecked(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) throw std::overflow_error("rational arithmetic overflow");
  return r;
}

int64_t AddChecked(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) throw std::overflow_error("rational arithmetic overflow");
  return r;
}

int64_t Gcd(int64_t a, int64_t b) {
  if (a < 0) a = -a;
  if (b < 0) b = -b;
  while (b != 0) {
    int64_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

int64_t Lcm(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  int64_t g = Gcd(a, b);
  int64_t r = MulChecked(a / g, b);
  return r < 0 ? -r : r;
}

bool IsPrime(int64_t n) {
  if (n < 2) return false;
  for (int64_t d = 2; d * d <= n; ++d) {
    if (n % d == 0) return false;
  }
  return true;
}

std::vector<std::pair<int64_t, int>> Factorize(int64_t n) {
  if (n < 2) throw std::invalid_argument("Factorize: n < 2");
  std::vector<std::pair<int64_t, int>> out;
  for (int64_t d = 2; d * d <= n; ++d) {
    int e = 0;
    while (n % d == 0) {
      n /= d;
      ++e;
    }
    if (e > 0) out.emplace_back(d, e);
  }
  if (n > 1) out.emplace_back(n, 1);
  return out;
}

void SplitSquareRoot(int64_t n, int64_t& outside, int64_t& inside) {
  if (n < 0) throw std::invalid_argument("SplitSquareRoot: n < 0");
  outside = 1;
  inside = n;
  if (n < 2) {  // 0 = 0 * sqrt(1), 1 = 1 * sqrt(1)
    outside = n;
    inside = 1;
    return;
  }
  for (auto [p, e] : Factorize(n)) {
    for (int i = 0; i < e / 2; ++i) {
      outside *= p;
      inside /= p * p;
    }
  }
}

int64_t ExactSqrt(int64_t n) {
  if (n < 0) return -1;
  int64_t r = 0;
  while ((r + 1) * (r + 1) <= n) ++r;
  return r * r == n ? r : -1;
}

int64_t Factorial(int n) {
  int64_t r = 1;
  for (int i = 2; i <= n; ++i) r = MulChecked(r, i);
  return r;
}

int64_t Binomial(int n, int k) {
  if (k < 0 || k > n) return 0;
  int64_t r = 1;
  for (int i = 1; i <= k; ++i) r = MulChecked(r, n - k + i) / i;  // exact at every step
  return r;
}

Rational::Rational(int64_t n, int64_t d) {
  if (d == 0) throw std::domain_error("rational with zero denominator");
  if (d < 0) {
    n = MulChecked(n, -1);
    d = MulChecked(d, -1);
  }
  int64_t g = Gcd(n, d);
  if (g > 1) {
    n /= g;
    d /= g;
  }
  num_ = n;
  den_ = d;
}

Rational operator+(const Rational& a, const Rational& b) {
  int64_t g = Gcd(a.den_, b.den_);
  int64_t n = AddChecked(MulChecked(a.num_, b.den_ / g), MulChecked(b.num_, a.den_ / g));
  return Rational(n, MulChecked(a.den_ / g, b.den_));
}

Rational operator-(const Rational& a, const Rational& b) { return a + (-b); }

Rational operator*(const Rational& a, const Rational& b) {
  int64_t g1 = Gcd(a.num_, b.den_);
  int64_t g2 = Gcd(b.num_, a.den_);
  if (g1 == 0) g1 = 1;
  if (g2 == 0) g2 = 1;
  return Rational(MulChecked(a.num_ / g1, b.num_ / g2), MulChecked(a.den_ / g2, b.den_ / g1));
}

Rational operator/(const Rational& a, const Rational& b) {
  if (b.num_ == 0) throw std::domain_error("division by zero");
  return a * Rational(b.den_, b.num_);
}

bool operator<(const Rational& a, const Rational& b) {
  return MulChecked(a.num_, b.den_) < MulChecked(b.num_, a.den_);
}

Rational Rational::Pow(int n) const {
  Rational r(1);
  for (int i = 0; i < n; ++i) r *= *this;
  return r;
}

std::string Rational::ToString() const {
  std::string s = std::to_string(num_);
  if (den_ != 1) s += "/" + std::to_string(den_);
  return s;
}

bool Rational::IsTerminatingDecimal() const {
  int64_t d = den_;
  while (d % 2 == 0) d /= 2;
  while (d % 5 == 0) d /= 5;
  return d == 1;
}

std::string Rational::DecimalText() const {
  if (!IsTerminatingDecimal()) throw std::invalid_argument("not a terminating decimal: " + ToString());
  int64_t n = num_ < 0 ? -num_ : num_;
  std::string s = std::to_string(n / den_);
  int64_t rest = n % den_;
  if (rest != 0) s += ".";
  while (rest != 0) {
    rest = MulChecked(rest, 10);
    s += static_cast<char>('0' + rest / den_);
    rest %= den_;
  }
  return num_ < 0 ? "-" + s : s;
}

Rational Rational::Round(int places) const {
  int64_t scale = 1;
  for (int i = 0; i < places; ++i) scale = MulChecked(scale, 10);
  Rational scaled = Abs() * Rational(scale);
  int64_t whole = scaled.num_ / scaled.den_;
  if (MulChecked(scaled.num_ % scaled.den_, 2) >= scaled.den_) ++whole;
  return Rational(num_ < 0 ? -whole : whole, scale);
}

}  // namespace qil::disc
