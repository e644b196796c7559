// The main groups and topics of the disc, with their problem counts.
#include "Problem.h"

namespace qil::disc {

const std::vector<Group>& Groups() {
  static const std::vector<Group> kGroups = {
      {'A', "Arithmetic"},
      {'B', "Algebra"},
      {'G', "Geometry"},
      {'P', "Probability and statistics"},
  };
  return kGroups;
}

const std::vector<Topic>& Topics() {
  static const std::vector<Topic> kTopics = {
      {"A01", "Order of operations",
       "Whole-number expressions with the four operations, brackets and powers. The problems train the agreed order: "
       "brackets first, then powers, then multiplication and division, then addition and subtraction.",
       {24, 24, 20, 16}, MakeOrderOfOperations},
      {"A02", "Fractions",
       "Adding, subtracting, multiplying and dividing fractions and mixed numbers, with answers in their simplest form.",
       {26, 26, 24, 20}, MakeFractions},
      {"A03", "Percentages",
       "Percentages of amounts, price rises and reductions, finding the original amount, and compound interest.",
       {20, 20, 18, 14}, MakePercentages},
      {"A04", "Factors and multiples",
       "Prime factorisation, greatest common divisors and least common multiples, and problems that need them.",
       {18, 16, 16, 14}, MakeDivisibility},
      {"B01", "Linear equations",
       "Equations of the first degree: one-step and two-step equations, unknowns on both sides, brackets and fractions.",
       {44, 44, 40, 32}, MakeLinearEquations},
      {"B02", "Simultaneous equations",
       "Pairs of linear equations in two unknowns, solved by elimination and by substitution, and word problems.",
       {20, 20, 18, 14}, MakeSimultaneous},
      {"B03", "Quadratic equations",
       "Square roots, factorising and the quadratic formula, including roots that are surds.",
       {22, 24, 22, 20}, MakeQuadratics},
      {"B04", "Sequences",
       "Arithmetic and geometric sequences: next terms, the n-th term, and sums of the first terms.",
       {18, 18, 16, 12}, MakeSequences},
      {"B05", "Straight-line graphs",
       "Gradient and intercept, the equation of a line through two points, and where two lines cross.",
       {20, 20, 18, 14}, MakeLinearFunctions},
      {"G01", "Angles in triangles",
       "The angle sum of a triangle, isosceles triangles, exterior angles and angles given by expressions.",
       {22, 20, 20, 18}, MakeTriangleAngles},
      {"G02", "Pythagoras' theorem",
       "Missing sides of right-angled triangles, exact answers with surds, and practical problems.",
       {24, 22, 22, 20}, MakePythagoras},
      {"G03", "Area and perimeter",
       "Rectangles, triangles, parallelograms, trapezia and compound shapes made of rectangles.",
       {20, 20, 22, 18}, MakeAreaPerimeter},
      {"G04", "Circles",
       "Circumference and area of circles, working back to the radius, and arcs and sectors.",
       {18, 18, 18, 18}, MakeCircles},
      {"P01", "Averages",
       "Mean, median and mode of lists and bar charts, and finding a missing value from the mean.",
       {18, 18, 20, 16}, MakeAverages},
      {"P02", "Probability",
       "Equally likely outcomes with bags, spinners and dice, and two draws without replacement.",
       {22, 22, 18, 18}, MakeProbability},
      {"P03", "Counting",
       "The multiplication principle, arrangements in a row, ordered selections and combinations.",
       {5, 5, 5, 5}, MakeCounting},
  };
  return kTopics;
}

}  // namespace qil::disc
