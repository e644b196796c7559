// The fixed pictures of the disc: the digit images of the problem numbers and of
// the worksheet counter, and the picture of the about window.
#pragma once

#include <string>

#include "Render.h"

namespace qil::disc {

// A digit ('0' to '9') of a problem number: 8 x 22 pixels.
Raster ProblemDigit(Renderer& renderer, char digit);
// The thousands separator between problem-number digits: 4 x 22 pixels.
Raster ProblemSeparator(Renderer& renderer);
// A digit of the worksheet counter: 14 x 21 pixels.
Raster CounterDigit(Renderer& renderer, char digit);
// The about picture, 498 x 314 pixels; the line of figures is printed on it.
Raster AboutPicture(Renderer& renderer, const std::string& figures);

}  // namespace qil::disc
