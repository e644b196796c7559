// The desktop clipboard for the documents the engine copies.
//
// A document is offered as "text/rtf" and "application/rtf" and stays
// available until another program takes the clipboard. Handing it to the
// clipboard manager at exit keeps it after the program ends, where the
// desktop has one. Main thread only.
#pragma once

#include <string>

namespace qil::gtk {

// Offers document on the clipboard; false when the clipboard refused it.
bool OfferRtf(const std::string& document);

// Hands what we offer to the clipboard manager (nothing when none runs).
void StoreClipboard();

}  // namespace qil::gtk
