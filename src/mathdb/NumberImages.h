// Numbers shown as rows of digit pictures, shared by the list, problem,
// worksheet and counter pages.
//
// Pure text functions without state, safe from any thread. The pictures are
// archive entries of the disc ("images/szamok_problem/n0.jpg" ... "n9.jpg" and
// "nv.jpg" for the thousands separator; "images/szamok/n0.jpg" ... "n9.jpg").
// Each picture has an empty alt text, and the number follows the pictures once
// more as text in <span class="numtext">, so that screen readers read it and
// find-in-page finds it; the disc's stylesheet hides that span from sight
// (a page without such a rule shows the number twice).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qil {

// One 8 x 22 digit picture per digit of n written with "," between groups of
// three digits, and the separator picture for each ",": 1000 gives the digit 1,
// the separator and three times the digit 0. Nothing separates the pictures.
// Then the number as text: <span class="numtext">1,000</span>.
std::string NumberImagesProblem(int64_t n);

// CR LF, then one line "<img ...>" CR LF with a 14 x 21 digit picture for each
// decimal digit of text; other characters add nothing. When text has digits,
// a last line holds them as text: <span class="numtext">12</span> CR LF.
std::string DigitImages(std::string_view text);

}  // namespace qil
