// The buttons of a message box and the answers they give, from MessageBoxA's type flags.
#pragma once

#include "platform/win32.h"

#include <cstddef>

namespace win32 {

struct DialogButton {
    const char* text;
    int answer;          // IDOK, IDYES, ...
    bool return_default; // what Return picks
    bool escape_default; // what Escape picks
};

struct DialogButtons {
    DialogButton buttons[3];
    std::size_t count;
};

// OK, OK/Cancel, Yes/No and Yes/No/Cancel boxes; any other type is shown as OK. The first
// button is the default one, as with MB_DEFBUTTON1. Escape picks Cancel where there is one, OK
// in an OK box and No in a Yes/No box.
DialogButtons dialog_buttons(UINT type);

// The answer of a box that cannot be shown (no display), as if Return was pressed: the first
// button's.
int default_answer(UINT type);

// The answer of a box closed from its title bar: what Escape would pick.
int closed_answer(UINT type);

} // namespace win32
