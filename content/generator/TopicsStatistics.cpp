// Probability and statistics topics: averages, probability, counting.
#include <algorithm>
#include <bit>
#include <cairo.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "Kit.h"

namespace qil::disc {

namespace {

std::string ListText(const std::vector<int64_t>& values) {
  std::string out;
  for (int64_t v : values) out += (out.empty() ? "" : ",  ") + Num(v);
  return out;
}

// ---- Averages ----

// The median by counting: for each data value, how many lie below and above it.
// Independent of sorting, which the worked solution uses.
Rational MedianByCounting(const std::vector<int64_t>& data) {
  const size_t n = data.size();
  auto atMost = [&data](int64_t v) {
    return static_cast<size_t>(std::count_if(data.begin(), data.end(), [v](int64_t d) { return d <= v; }));
  };
  // The smallest value with at least k data values at most it is the k-th smallest.
  auto kth = [&](size_t k) {
    int64_t best = 0;
    bool found = false;
    for (int64_t v : data) {
      if (atMost(v) >= k && (!found || v < best)) {
        best = v;
        found = true;
      }
    }
    return best;
  };
  if (n % 2 == 1) return kth(n / 2 + 1);
  return Rational(kth(n / 2) + kth(n / 2 + 1), 2);
}

Figure BarChart(const std::vector<int64_t>& values, const std::vector<int64_t>& freq, const std::string& xTitle) {
  Figure fig;
  fig.width = 420;
  fig.height = 250;
  fig.description = "Bar chart of the frequency of each " + xTitle + ":";
  for (size_t i = 0; i < values.size(); ++i) {
    fig.description += std::string(i == 0 ? " " : ", ") + PlainText(Num(values[i])) + " has " + PlainText(Num(freq[i]));
  }
  fig.description += ".";
  fig.draw = [values, freq, xTitle](Painter& p) {
    int64_t top = *std::max_element(freq.begin(), freq.end()) + 1;
    const double x0 = 50, y0 = 212, w = 350, h = 172;
    const double step = w / values.size();
    p.SetWidth(1.0);
    for (int64_t f = 0; f <= top; ++f) {
      double y = y0 - h * f / top;
      p.SetColor(kGrid);
      if (f > 0) p.Segment({x0, y}, {x0 + w, y});
      p.Label({x0 - 6, y}, Num(f), 1.0, 0.5, 8.5, kMuted);
    }
    for (size_t i = 0; i < values.size(); ++i) {
      double bx = x0 + step * i + step * 0.2, bw = step * 0.6, bh = h * freq[i] / top;
      p.SetColor(kAccent);
      p.Polygon({{bx, y0}, {bx + bw, y0}, {bx + bw, y0 - bh}, {bx, y0 - bh}}, &kFill);
      p.Label({bx + bw / 2, y0 + 4}, Num(values[i]), 0.5, 0.0, 9.5);
    }
    p.SetColor(kInk);
    p.SetWidth(1.4);
    p.Segment({x0, y0}, {x0 + w, y0});
    p.Segment({x0, y0}, {x0, y0 - h - 8});
    p.Label({x0 + w / 2, y0 + 24}, xTitle, 0.5, 0.0, 9.5, kMuted);
    p.Label({x0 - 36, y0 - h - 8}, "frequency", 0.0, 1.0, 9.0, kMuted);
  };
  return fig;
}

Problem AverageProblem(Rng& rng, int level) {
  Problem p;
  if (level == 1) {
    // What the values count, over what period, and the values such a count can take.
    struct Setting {
      const char* before;  // followed by the number of values
      const char* after;
      int64_t lo, hi;
    };
    static const std::vector<Setting> kSettings = {
        {"Here are the marks out of 40 that ", " pupils scored in a quiz.", 8, 40},
        {"Here are the goals scored by a hockey team in each of its last ", " matches.", 0, 8},
        {"Here are the hours of sunshine on each of ", " days in June.", 0, 14},
        {"Here are the books read last year by each of ", " pupils.", 2, 30},
    };
    const Setting& setting = rng.Pick(kSettings);
    int n = static_cast<int>(rng.Range(5, 8));
    std::vector<int64_t> data;
    for (int i = 0; i < n; ++i) data.push_back(rng.Range(setting.lo, setting.hi));
    int64_t sum = 0;
    for (int64_t v : data) sum += v;
    // Make the mean a whole number by moving the last value up or down, inside the range.
    const int64_t over = sum % n;
    const int64_t change = over == 0 ? 0 : (data.back() + n - over <= setting.hi ? n - over : -over);
    data.back() += change;
    sum += change;
    int64_t mean = sum / n;
    p.statement.Para(setting.before + Num(n) + setting.after + " Find the mean.");
    p.statement.Line(Formula(ListText(data)));
    p.solution.Para("The mean is the sum of the values divided by how many values there are.");
    std::string terms;
    for (int64_t v : data) terms += (terms.empty() ? "" : " + ") + Num(v);
    p.solution.Step(Formula("mean = ").Frac(terms, Num(n)).T(" = ").Frac(Num(sum), Num(n)).T(" = " + Num(mean)));
    p.solution.Answer(Formula(Num(mean)));
    p.answer = {mean};
    p.check = [data](const Answer& a) {
      if (a.size() != 1) return false;
      Rational balance = 0;  // the deviations from the mean cancel out
      for (int64_t v : data) balance += Rational(v) - a[0];
      return balance == 0;
    };
    p.key = Key("1", {data[0], data[1], data[2], data[3], sum});
    std::vector<std::string> values;
    for (int64_t v : data) values.push_back(Num(v));
    p.canon = SortedCanon(std::string("mean of ") + setting.after, values);
    p.facts = {{"mean", mean},
               {"lowest", *std::min_element(data.begin(), data.end())},
               {"highest", *std::max_element(data.begin(), data.end())},
               {"rangeLow", setting.lo},
               {"rangeHigh", setting.hi}};
    return p;
  }
  if (level == 2) {
    int n = static_cast<int>(rng.Range(6, 11));
    std::vector<int64_t> data;
    for (int i = 0; i < n; ++i) data.push_back(rng.Range(1, 50));
    std::vector<int64_t> sorted = data;
    std::sort(sorted.begin(), sorted.end());
    Rational median = n % 2 == 1 ? Rational(sorted[n / 2]) : Rational(sorted[n / 2 - 1] + sorted[n / 2], 2);
    p.statement.Para("Find the median of these " + Num(n) + " values.");
    p.statement.Line(Formula(ListText(data)));
    p.solution.Para("Put the values in order:");
    p.solution.Step(Formula(ListText(sorted)));
    if (n % 2 == 1) {
      p.solution.Para("There is an odd number of values; the median is the middle one, the " + Ordinal(n / 2 + 1) + ":");
      p.solution.Step(Formula("median = " + Dec(median)));
    } else {
      p.solution.Para("There is an even number of values; the median is the mean of the " + Ordinal(n / 2) + " and " +
                      Ordinal(n / 2 + 1) + " values:");
      p.solution.Step(Formula("median = ").Frac(Num(sorted[n / 2 - 1]) + " + " + Num(sorted[n / 2]), "2").T(" = " + Dec(median)));
    }
    p.solution.Answer(Formula(Dec(median)));
    p.answer = {median};
    p.check = [data](const Answer& a) { return a.size() == 1 && a[0] == MedianByCounting(data); };
    p.key = Key("2", {data[0], data[1], data[2], data[3], data[4], data[5]});
    std::vector<std::string> values;
    for (int64_t v : data) values.push_back(Num(v));
    p.canon = SortedCanon("median", values);
    p.facts = {{"values", n}};
    return p;
  }
  if (level == 3) {
    int64_t first = rng.Range(1, 6);
    int count = static_cast<int>(rng.Range(5, 6));
    std::vector<int64_t> values, freq;
    for (int i = 0; i < count; ++i) {
      values.push_back(first + i);
      freq.push_back(rng.Range(1, 9));
    }
    // A single most frequent value.
    size_t modeAt = static_cast<size_t>(rng.Range(0, count - 1));
    freq[modeAt] = *std::max_element(freq.begin(), freq.end()) + 1;
    int64_t total = 0, weighted = 0;
    for (int i = 0; i < count; ++i) {
      total += freq[i];
      weighted += values[i] * freq[i];
    }
    Rational mean(weighted, total);
    // The median from the cumulative frequencies.
    auto valueAt = [&](int64_t k) {  // the k-th value (1-based) in order
      int64_t seen = 0;
      for (int i = 0; i < count; ++i) {
        seen += freq[i];
        if (seen >= k) return values[i];
      }
      return values.back();
    };
    Rational median = total % 2 == 1 ? Rational(valueAt(total / 2 + 1)) : Rational(valueAt(total / 2) + valueAt(total / 2 + 1), 2);
    std::string thing = rng.Pick<std::string>({"the number of people in each car passing a school",
                                               "the number of pets owned by the pupils of a class",
                                               "the score of each throw in a game"});
    p.statement.Para("The bar chart shows " + thing + ". Find the mean, the median and the mode.");
    Ask(p, {AnswerForm::Kind::kRounded, 2}, "Give the mean to two decimal places where it is not exact.");
    p.figure = BarChart(values, freq, "value");
    p.figureInSolution = true;
    p.solution.Para("There are " + Num(total) + " values in all. Mean: multiply each value by its frequency and add.");
    std::string products;
    for (int i = 0; i < count; ++i) products += (products.empty() ? "" : " + ") + Num(values[i]) + kCdot + Num(freq[i]);
    Formula meanLine("mean = ");
    meanLine.Frac(products, Num(total)).T(" = ").Frac(Num(weighted), Num(total));
    const std::string shownMean = AppendRounded(meanLine, mean, 2);
    p.solution.Step(meanLine);
    p.solution.Para("Median: the middle of the " + Num(total) + " ordered values" +
                    (total % 2 == 1 ? ", the " + Ordinal(total / 2 + 1) + " one," : ", between the " + Ordinal(total / 2) +
                                                                                         " and the " + Ordinal(total / 2 + 1) + ",") +
                    " is " + Dec(median) + ".");
    p.solution.Para("Mode: the value with the tallest bar, " + Num(values[modeAt]) + ".");
    p.solution.Answer(Formula("mean " + std::string(mean.Round(2) == mean ? "" : "\u2248 ") + shownMean + ", median " +
                              Dec(median) + ", mode " + Num(values[modeAt])));
    p.answer = {mean, median, values[modeAt]};
    std::vector<int64_t> listed;
    for (int i = 0; i < count; ++i) {
      for (int64_t f = 0; f < freq[i]; ++f) listed.push_back(values[i]);
    }
    p.check = [listed](const Answer& a) {
      if (a.size() != 3) return false;
      int64_t sum = 0;
      for (int64_t v : listed) sum += v;
      int64_t best = 0;
      size_t bestCount = 0;
      bool tie = false;
      for (int64_t v : listed) {
        size_t c = static_cast<size_t>(std::count(listed.begin(), listed.end(), v));
        if (c > bestCount) {
          bestCount = c;
          best = v;
          tie = false;
        } else if (c == bestCount && v != best) {
          tie = true;
        }
      }
      return !tie && a[0] == Rational(sum, static_cast<int64_t>(listed.size())) && a[1] == MedianByCounting(listed) &&
             a[2] == best;
    };
    p.key = Key("3", {first, freq[0], freq[1], freq[2], freq[3], freq[4], count > 5 ? freq[5] : 0});
    return p;
  }
  // Level 4: the missing value.
  int n = static_cast<int>(rng.Range(5, 8));
  int64_t mean = rng.Range(8, 60);
  std::vector<int64_t> known;
  int64_t sum = 0;
  for (int i = 0; i < n - 1; ++i) {
    known.push_back(mean + rng.Range(-7, 7));
    sum += known.back();
  }
  int64_t missing = mean * n - sum;
  if (missing <= 0) {
    known[0] -= 1 - missing;
    sum -= 1 - missing;
    missing = 1;
  }
  p.statement.Para("The mean of " + Num(n) + " numbers is " + Num(mean) + ". " + Num(n - 1) + " of them " +
                   Agree(n - 1, "is", "are"));
  p.statement.Line(Formula(ListText(known)));
  p.statement.Para("Find the missing number.");
  p.solution.Para("The " + Num(n) + " numbers add up to " + Num(n) + kTimes + Num(mean) + " = " + Num(n * mean) + ".");
  p.solution.Para("The known numbers add up to " + Num(sum) + ", so the missing number is");
  p.solution.Step(Formula(Num(n * mean) + " " + kMinus + " " + Num(sum) + " = " + Num(missing)));
  p.solution.Answer(Formula(Num(missing)));
  p.answer = {missing};
  p.check = [known, mean](const Answer& a) {
    if (a.size() != 1) return false;
    Rational total = a[0];
    for (int64_t v : known) total += v;
    return total / static_cast<int64_t>(known.size() + 1) == mean;  // put the value back and take the mean
  };
  p.key = Key("4", {mean, known[0], known[1], known[2], missing});
  std::vector<std::string> values;
  for (int64_t v : known) values.push_back(Num(v));
  p.canon = SortedCanon("missing, mean " + Num(mean), values);
  p.facts = {{"missing", missing}};
  return p;
}

// ---- Probability ----

struct Colour {
  std::string name;
  Color color;
};

const std::vector<Colour>& Colours() {
  static const std::vector<Colour> kColours = {{"red", {0.80, 0.22, 0.20}},
                                               {"blue", {0.16, 0.38, 0.72}},
                                               {"green", {0.22, 0.58, 0.30}},
                                               {"yellow", {0.93, 0.76, 0.15}}};
  return kColours;
}

// "8 red balls and 1 blue ball".
std::string BagContents(const std::vector<int64_t>& counts) {
  std::string contents;
  for (size_t i = 0; i < counts.size(); ++i) {
    contents += (i == 0 ? "" : (i + 1 == counts.size() ? " and " : ", ")) + Count(counts[i], Colours()[i].name + " ball");
  }
  return contents;
}

Figure BagFigure(const std::vector<int64_t>& counts) {
  Figure fig;
  fig.width = 300;
  fig.height = 190;
  fig.description = "A bag of " + PlainText(BagContents(counts)) + ".";
  fig.draw = [counts](Painter& p) {
    p.SetWidth(1.6);
    p.SetColor(kInk);
    cairo_t* cr = p.Cairo();
    // The bag: a rounded sack with a tied neck.
    cairo_move_to(cr, 110, 30);
    cairo_curve_to(cr, 40, 60, 30, 175, 150, 178);
    cairo_curve_to(cr, 270, 175, 260, 60, 190, 30);
    cairo_close_path(cr);
    p.Finish(&kFillWarm);
    p.Segment({120, 22}, {180, 22});
    int index = 0;
    for (size_t c = 0; c < counts.size(); ++c) {
      for (int64_t i = 0; i < counts[c]; ++i, ++index) {
        int row = index / 8, col = index % 8;
        Pt centre{88 + col * 18.0 + (row % 2) * 9.0, 160 - row * 17.0};
        Color fill = Colours()[c].color;
        p.SetColor(kInk);
        p.SetWidth(0.8);
        p.Circle(centre, 7.5, &fill);
      }
    }
  };
  return fig;
}

Figure SpinnerFigure(const std::vector<int64_t>& sectors) {
  Figure fig;
  fig.width = 260;
  fig.height = 240;
  fig.description = "A spinner with " + std::to_string(sectors.size()) + " equal sectors numbered";
  for (size_t i = 0; i < sectors.size(); ++i) fig.description += std::string(i == 0 ? " " : ", ") + PlainText(Num(sectors[i]));
  fig.description += " clockwise from the top.";
  fig.draw = [sectors](Painter& p) {
    Pt c{130, 120};
    double r = 100;
    double step = 360.0 / sectors.size();
    for (size_t i = 0; i < sectors.size(); ++i) {
      Color fill = i % 2 == 0 ? kFill : kFillWarm;
      p.SetColor(kInk);
      p.SetWidth(1.4);
      p.Sector(c, r, 90 - step * (i + 1), 90 - step * i, &fill);
      double mid = (90 - step * (i + 0.5)) * std::numbers::pi / 180;
      p.Label({c.x + std::cos(mid) * r * 0.68, c.y - std::sin(mid) * r * 0.68}, Num(sectors[i]), 0.5, 0.5, 12.0);
    }
    p.SetColor(kMark);
    p.SetWidth(3.0);
    p.Segment(c, {c.x + 40, c.y - 55});
    p.SetColor(kInk);
    p.Dot(c, 5);
  };
  return fig;
}

std::string Prob(const Rational& r) { return RatText(r); }

Problem ProbabilityProblem(Rng& rng, int level) {
  Problem p;
  if (level == 1 || level == 4) {
    std::vector<int64_t> counts;
    int colours = level == 1 ? static_cast<int>(rng.Range(2, 4)) : 2;
    for (int i = 0; i < colours; ++i) counts.push_back(rng.Range(level == 1 ? 1 : 2, level == 1 ? 9 : 8));
    int64_t total = 0;
    for (int64_t c : counts) total += c;
    p.figure = BagFigure(counts);
    const std::string contents = BagContents(counts);
    // The balls one by one, for counting outcomes.
    std::vector<int> balls;
    for (int i = 0; i < colours; ++i) {
      for (int64_t k = 0; k < counts[i]; ++k) balls.push_back(i);
    }
    if (level == 1) {
      int target = static_cast<int>(rng.Range(0, colours - 1));
      bool negate = rng.Chance(1, 3);
      const std::string& name = Colours()[target].name;
      p.statement.Para("A bag holds " + contents + ". One ball is taken out at random. What is the probability "
                       "that it is " + (negate ? "not " : "") + name + "?");
      Ask(p, {AnswerForm::Kind::kLowestTerms});
      int64_t favourable = negate ? total - counts[target] : counts[target];
      Rational prob(favourable, total);
      p.solution.Para("There are " + Count(total, "ball") + ", all equally likely to be taken, and " + Num(favourable) +
                      " of them " + Agree(favourable, "is", "are") + " " + (negate ? "not " : "") + name + ".");
      Formula f("P = ");
      FracValue(f, favourable, total);
      p.solution.Step(f);
      p.solution.Answer(Formula().Q(prob));
      p.answer = {prob};
      p.check = [balls, target, negate](const Answer& a) {
        int64_t hits = 0;
        for (int b : balls) hits += ((b == target) != negate) ? 1 : 0;
        return a.size() == 1 && a[0] == Rational(hits, static_cast<int64_t>(balls.size()));
      };
      p.key = Key(negate ? "1n" : "1", {counts[0], counts[1], colours > 2 ? counts[2] : 0, colours > 3 ? counts[3] : 0, target});
      p.facts = {{"draws", 1}};
      return p;
    }
    // Level 4: two balls without replacement.
    bool same = rng.Chance(1, 2);
    int64_t r = counts[0], b = counts[1];
    p.statement.Para("A bag holds " + contents + ". Two balls are taken out at random, one after the other, "
                     "without putting the first back. What is the probability that " +
                     (same ? "both are red?" : "they have different colours?"));
    Ask(p, {AnswerForm::Kind::kLowestTerms});
    Rational prob;
    if (same) {
      prob = Rational(r, total) * Rational(r - 1, total - 1);
      p.solution.Para("The first ball is red with probability " + Prob(Rational(r, total)) + "; then " + Num(r - 1) +
                      " of the remaining " + Count(total - 1, "ball") + " " + Agree(r - 1, "is", "are") + " red.");
      p.solution.Step(Formula("P = ").Frac(Num(r), Num(total)).T(kTimes).Frac(Num(r - 1), Num(total - 1)).T(" = ").Q(prob));
    } else {
      prob = Rational(r, total) * Rational(b, total - 1) + Rational(b, total) * Rational(r, total - 1);
      p.solution.Para("Either red then blue, or blue then red:");
      p.solution.Step(Formula("P = ")
                          .Frac(Num(r), Num(total)).T(kTimes).Frac(Num(b), Num(total - 1)).T(" + ")
                          .Frac(Num(b), Num(total)).T(kTimes).Frac(Num(r), Num(total - 1)).T(" = ").Q(prob));
    }
    p.solution.Answer(Formula().Q(prob));
    p.answer = {prob};
    p.check = [balls, same](const Answer& a) {
      int64_t hits = 0, all = 0;  // every ordered pair of two different balls
      for (size_t i = 0; i < balls.size(); ++i) {
        for (size_t j = 0; j < balls.size(); ++j) {
          if (i == j) continue;
          ++all;
          bool hit = same ? (balls[i] == 0 && balls[j] == 0) : balls[i] != balls[j];
          hits += hit ? 1 : 0;
        }
      }
      return a.size() == 1 && a[0] == Rational(hits, all);
    };
    p.key = Key(same ? "4s" : "4d", {r, b});
    p.facts = {{"draws", 2}};
    return p;
  }
  if (level == 2) {
    int sectors = static_cast<int>(rng.Pick<int64_t>({5, 6, 8, 10}));
    std::vector<int64_t> numbers;
    for (int i = 0; i < sectors; ++i) numbers.push_back(rng.Range(1, 9));
    int kind = static_cast<int>(rng.Range(0, 2));
    int64_t limit = rng.Range(3, 7);
    std::function<bool(int64_t)> event;
    std::string text;
    if (kind == 0) {
      event = [](int64_t v) { return v % 2 == 0; };
      text = "an even number";
    } else if (kind == 1) {
      event = [limit](int64_t v) { return v > limit; };
      text = "a number greater than " + Num(limit);
    } else {
      event = [](int64_t v) { return IsPrime(v); };
      text = "a prime number";
    }
    int64_t favourable = std::count_if(numbers.begin(), numbers.end(), event);
    if (favourable == 0 || favourable == sectors) {
      numbers[0] = kind == 0 ? (event(numbers[0]) ? 3 : 4) : (kind == 1 ? (event(numbers[0]) ? 1 : 9) : (event(numbers[0]) ? 4 : 5));
      favourable = std::count_if(numbers.begin(), numbers.end(), event);
    }
    p.figure = SpinnerFigure(numbers);
    p.statement.Para("The fair spinner has " + Num(sectors) + " equal sectors. It is spun once. What is the probability "
                     "that it lands on " + text + "?");
    Ask(p, {AnswerForm::Kind::kLowestTerms});
    std::string hits;
    for (int64_t v : numbers) {
      if (event(v)) hits += (hits.empty() ? "" : ", ") + Num(v);
    }
    p.solution.Para(std::string(favourable == 1 ? "The sector that counts shows " : "The sectors that count show ") + hits +
                    ": " + Num(favourable) + " of the " + Num(sectors) + " equally likely sectors.");
    Formula f("P = ");
    FracValue(f, favourable, sectors);
    p.solution.Step(f);
    Rational prob(favourable, sectors);
    p.solution.Answer(Formula().Q(prob));
    p.answer = {prob};
    p.check = [numbers, event](const Answer& a) {
      // Complement rule: one minus the share of sectors that do not count.
      int64_t misses = 0;
      for (int64_t v : numbers) misses += event(v) ? 0 : 1;
      return a.size() == 1 && a[0] == Rational(1) - Rational(misses, static_cast<int64_t>(numbers.size()));
    };
    std::string key = "2:" + std::to_string(kind) + ":" + std::to_string(limit) + ":";
    for (int64_t v : numbers) key += std::to_string(v);
    p.key = key;
    p.facts = {{"sectors", sectors}};
    return p;
  }
  // Level 3: two fair dice. The count of favourable outcomes comes from the pattern of the
  // 6 x 6 table; the check counts the table cell by cell.
  auto onTotal = [](int64_t t) { return 6 - std::abs(t - 7); };  // cells on the diagonal of a total
  int kind = static_cast<int>(rng.Range(0, 5));
  int64_t param = 0, count = 0;
  std::function<bool(int, int)> event;
  std::string text;
  switch (kind) {
    case 0:
      param = rng.Range(2, 12);
      event = [param](int a, int b) { return a + b == param; };
      text = "the total is " + Num(param);
      count = onTotal(param);
      break;
    case 1:
      param = rng.Range(3, 12);
      event = [param](int a, int b) { return a + b >= param; };
      text = "the total is at least " + Num(param);
      for (int64_t t = param; t <= 12; ++t) count += onTotal(t);
      break;
    case 2:
      param = rng.Range(2, 11);
      event = [param](int a, int b) { return a + b <= param; };
      text = "the total is at most " + Num(param);
      for (int64_t t = 2; t <= param; ++t) count += onTotal(t);
      break;
    case 3:
      param = rng.Range(0, 5);
      event = [param](int a, int b) { return std::abs(a - b) == param; };
      text = param == 0 ? "both dice show the same number" : "the two numbers differ by " + Num(param);
      count = param == 0 ? 6 : 2 * (6 - param);
      break;
    case 4:
      event = [](int a, int b) { return a == 6 || b == 6; };
      text = "at least one of the dice shows a six";
      count = 36 - 25;  // the complement: no six on either die
      break;
    default:
      event = [](int a, int b) { return (a * b) % 2 == 0; };
      text = "the product of the two numbers is even";
      count = 36 - 9;  // odd only when both are odd
      break;
  }
  Rational prob(count, 36);
  p.statement.Para("Two fair six-sided dice are thrown. What is the probability that " + text + "?");
  Ask(p, {AnswerForm::Kind::kLowestTerms});
  p.solution.Para("There are 6" + std::string(kTimes) + "6 = 36 equally likely outcomes. Of these, " + Num(count) + " " +
                  Agree(count, "is", "are") + " favourable.");
  Formula f("P = ");
  FracValue(f, count, 36);
  p.solution.Step(f);
  p.solution.Answer(Formula().Q(prob));
  p.answer = {prob};
  p.check = [event](const Answer& a) {
    int64_t hits = 0;
    for (int x = 1; x <= 6; ++x) {
      for (int y = 1; y <= 6; ++y) hits += event(x, y) ? 1 : 0;
    }
    return a.size() == 1 && a[0] == Rational(hits, 36);
  };
  p.key = Key("3", {kind, param});
  p.facts = {{"outcomes", 36}};
  return p;
}

// ---- Counting ----

int64_t CountSequences(int n, int k) {
  // Ordered choices of k different items out of n, counted by walking every choice.
  std::vector<bool> used(n, false);
  std::function<int64_t(int)> walk = [&](int depth) -> int64_t {
    if (depth == k) return 1;
    int64_t total = 0;
    for (int i = 0; i < n; ++i) {
      if (used[i]) continue;
      used[i] = true;
      total += walk(depth + 1);
      used[i] = false;
    }
    return total;
  };
  return walk(0);
}

int64_t CountSubsets(int n, int k) {
  int64_t total = 0;
  for (uint32_t mask = 0; mask < (1u << n); ++mask) total += std::popcount(mask) == k ? 1 : 0;
  return total;
}

Problem CountingProblem(Rng& rng, int level) {
  Problem p;
  if (level == 1) {
    int64_t shirts = rng.Range(2, 7), trousers = rng.Range(2, 5), shoes = rng.Range(1, 4);
    p.statement.Para("Maya has " + Count(shirts, "shirt") + ", " + Count(trousers, "pair") + " of trousers and " +
                     Count(shoes, "pair") + " of shoes. An outfit is one shirt, one pair of trousers and "
                     "one pair of shoes. How many different outfits can she put together?");
    p.solution.Para("Each choice can be combined with every other choice, so multiply:");
    p.solution.Step(Formula(Num(shirts) + " " + kTimes + " " + Num(trousers) + " " + kTimes + " " + Num(shoes) + " = " +
                            Num(shirts * trousers * shoes)));
    p.solution.Answer(Formula(Count(shirts * trousers * shoes, "outfit")));
    p.answer = {shirts * trousers * shoes};
    p.check = [=](const Answer& a) {
      int64_t outfits = 0;
      for (int64_t s = 0; s < shirts; ++s)
        for (int64_t t = 0; t < trousers; ++t)
          for (int64_t f = 0; f < shoes; ++f) ++outfits;
      return a.size() == 1 && a[0] == outfits;
    };
    p.key = Key("1", {shirts, trousers, shoes});
    p.facts = {{"stages", 3}};
    return p;
  }
  int n = 0, k = 0;
  if (level == 2) {
    n = static_cast<int>(rng.Range(3, 8));
    k = n;
    p.statement.Para("In how many different orders can " + Num(n) + " different books be put in a row on a shelf?");
    p.solution.Para("There are " + Num(n) + " choices for the first place, " + Num(n - 1) + " for the second, and so on:");
    std::string product;
    for (int i = n; i >= 1; --i) product += (product.empty() ? "" : " " + std::string(kTimes) + " ") + Num(i);
    p.solution.Step(Formula(Num(n) + "! = " + product + " = " + Num(Factorial(n))));
    p.solution.Answer(Formula(Count(Factorial(n), "order")));
    p.answer = {Factorial(n)};
  } else if (level == 3) {
    n = static_cast<int>(rng.Range(5, 10));
    k = 3;
    p.statement.Para(Num(n) + " runners take part in a race. In how many different ways can the gold, silver and "
                     "bronze medals be given out?");
    p.solution.Para("The order matters: " + Num(n) + " choices for gold, then " + Num(n - 1) + " for silver, then " +
                    Num(n - 2) + " for bronze.");
    int64_t ways = int64_t(n) * (n - 1) * (n - 2);
    p.solution.Step(Formula(Num(n) + " " + kTimes + " " + Num(n - 1) + " " + kTimes + " " + Num(n - 2) + " = " + Num(ways)));
    p.solution.Answer(Formula(Count(ways, "way")));
    p.answer = {ways};
  } else {
    n = static_cast<int>(rng.Range(6, 12));
    k = static_cast<int>(rng.Range(2, 4));
    p.statement.Para("A committee of " + Num(k) + " is chosen from a club of " + Num(n) +
                     " members. How many different committees are possible?");
    p.solution.Para("The order in which members are chosen does not matter, so count combinations:");
    p.solution.Step(Formula("C(" + Num(n) + ", " + Num(k) + ") = ")
                        .Frac(Num(n) + "!", Num(k) + "! " + kCdot + " " + Num(n - k) + "!")
                        .T(" = " + Num(Binomial(n, k))));
    p.solution.Answer(Formula(Count(Binomial(n, k), "committee")));
    p.answer = {Binomial(n, k)};
  }
  bool ordered = level != 4;
  p.check = [n, k, ordered](const Answer& a) {
    return a.size() == 1 && a[0] == (ordered ? CountSequences(n, k) : CountSubsets(n, k));
  };
  p.key = Key(std::to_string(level), {n, k});
  p.facts = {{"n", n}, {"k", k}, {"ordered", ordered ? 1 : 0}};
  return p;
}

}  // namespace

Problem MakeAverages(Rng& rng, int level) { return AverageProblem(rng, level); }
Problem MakeProbability(Rng& rng, int level) { return ProbabilityProblem(rng, level); }
Problem MakeCounting(Rng& rng, int level) { return CountingProblem(rng, level); }

}  // namespace qil::disc
