// Exact fractions and the whole-number helpers that the problem kinds share.
//
// A Rational is always in lowest terms with a positive denominator, so two
// equal values compare equal field by field. Arithmetic that would overflow
// 64 bits throws std::overflow_error instead of giving a wrong answer; the
// generator's numbers are small, so that means a fault in a problem kind.
// Plain values, safe to copy and to use from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qil::disc {

int64_t Gcd(int64_t a, int64_t b);  // always >= 0; Gcd(0, 0) == 0
int64_t Lcm(int64_t a, int64_t b);  // always >= 0
bool IsPrime(int64_t n);
// Prime factors with their exponents, smallest prime first; n >= 2.
std::vector<std::pair<int64_t, int>> Factorize(int64_t n);
// Writes n >= 0 as outside * sqrt(inside) with inside square-free.
void SplitSquareRoot(int64_t n, int64_t& outside, int64_t& inside);
// The whole square root of n when n is a perfect square, else -1.
int64_t ExactSqrt(int64_t n);
int64_t Factorial(int n);
int64_t Binomial(int n, int k);

class Rational {
 public:
  Rational() = default;
  Rational(int64_t n) : num_(n) {}  // NOLINT: whole numbers convert implicitly
  Rational(int64_t n, int64_t d);

  int64_t Num() const { return num_; }
  int64_t Den() const { return den_; }
  bool IsInteger() const { return den_ == 1; }
  int Sign() const { return num_ > 0 ? 1 : (num_ < 0 ? -1 : 0); }
  double ToDouble() const { return static_cast<double>(num_) / static_cast<double>(den_); }
  Rational Abs() const { return num_ < 0 ? Rational(-num_, den_) : *this; }
  // n >= 0.
  Rational Pow(int n) const;

  // "3", "-3/4": plain ASCII, for keys and messages.
  std::string ToString() const;
  // Whether the value has a finite decimal expansion (denominator 2^a 5^b).
  bool IsTerminatingDecimal() const;
  // The exact decimal text ("12.375", "-0.5") of a terminating value.
  std::string DecimalText() const;
  // Rounded to the given number of decimal places, halves away from zero.
  Rational Round(int places) const;

  friend Rational operator+(const Rational& a, const Rational& b);
  friend Rational operator-(const Rational& a, const Rational& b);
  friend Rational operator*(const Rational& a, const Rational& b);
  friend Rational operator/(const Rational& a, const Rational& b);
  Rational operator-() const { return Rational(-num_, den_); }
  Rational& operator+=(const Rational& b) { return *this = *this + b; }
  Rational& operator-=(const Rational& b) { return *this = *this - b; }
  Rational& operator*=(const Rational& b) { return *this = *this * b; }
  Rational& operator/=(const Rational& b) { return *this = *this / b; }

  friend bool operator==(const Rational& a, const Rational& b) {
    return a.num_ == b.num_ && a.den_ == b.den_;
  }
  friend bool operator<(const Rational& a, const Rational& b);
  friend bool operator>(const Rational& a, const Rational& b) { return b < a; }
  friend bool operator<=(const Rational& a, const Rational& b) { return !(b < a); }
  friend bool operator>=(const Rational& a, const Rational& b) { return !(a < b); }

 private:
  int64_t num_ = 0;
  int64_t den_ = 1;
};

// Checked 64-bit arithmetic.
int64_t MulChecked(int64_t a, int64_t b);
int64_t AddChecked(int64_t a, int64_t b);

}  // namespace qil::disc
