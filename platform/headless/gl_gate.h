// The capture host's gate on the program's drawing: frames whose picture no one takes are worked
// out by the program as always (its clock, timeline and random numbers move on exactly as in a
// full run) but their drawing never reaches GL, so they cost the program's own code alone.
#pragma once

namespace capture::host {

// Whether the program's drawing reaches GL; it does until told otherwise.
void set_drawing(bool drawing);
bool drawing();

} // namespace capture::host
