#include "platform/win32/dialog.h"

#include "platform/win32/backend.h"

#include <cstdio>

namespace win32 {

DialogButtons dialog_buttons(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return DialogButtons{{{"OK", IDOK, true, false}, {"Cancel", IDCANCEL, false, true}}, 2};
    case MB_YESNO:
        return DialogButtons{{{"Yes", IDYES, true, false}, {"No", IDNO, false, true}}, 2};
    case MB_YESNOCANCEL:
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

int answer_unasked(const char* caption, const char* text, UINT type, const char* why) {
    const DialogButtons choices = dialog_buttons(type);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    if (choices.count > 1) {
        std::fprintf(stderr, "%s: cannot show a dialog (%s), answering %s\n", caption, why,
                     choices.buttons[0].text);
    }
    std::fflush(stderr);
    return default_answer(type);
}

} // namespace win32
