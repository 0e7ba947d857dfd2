#include "platform/win32/dialog.h"

namespace win32 {

namespace {

// MessageBoxA types beyond those the Win32 header names.
constexpr UINT mb_yesnocancel = 0x3;

} // namespace

DialogButtons dialog_buttons(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return DialogButtons{{{"OK", IDOK, true, false}, {"Cancel", IDCANCEL, false, true}}, 2};
    case MB_YESNO:
        return DialogButtons{{{"Yes", IDYES, true, false}, {"No", IDNO, false, true}}, 2};
    case mb_yesnocancel:
        return DialogButtons{{{"Yes", IDYES, true, false},
                              {"No", IDNO, false, false},
                              {"Cancel", IDCANCEL, false, true}},
                             3};
    default:
        return DialogButtons{{{"OK", IDOK, true, true}}, 1};
    }
}

int default_answer(UINT type) {
    return dialog_buttons(type).buttons[0].answer;
}

int closed_answer(UINT type) {
    const DialogButtons set = dialog_buttons(type);
    for (std::size_t i = 0; i < set.count; ++i) {
        if (set.buttons[i].escape_default) {
            return set.buttons[i].answer;
        }
    }
    return IDOK;
}

} // namespace win32
