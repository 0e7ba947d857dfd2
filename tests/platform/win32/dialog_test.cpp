#include "platform/win32/dialog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The program's question: "Use Windowed Mode Instead?" with Yes and No.
TEST(Dialog, YesNoBoxAnswersYesByDefaultAndNoOnEscape) {
    const UINT type = MB_YESNO | MB_ICONEXCLAMATION;
    const win32::DialogButtons set = win32::dialog_buttons(type);
    ASSERT_EQ(set.count, 2u);
    EXPECT_EQ(std::string(set.buttons[0].text), "Yes");
    EXPECT_EQ(set.buttons[0].answer, IDYES);
    EXPECT_TRUE(set.buttons[0].return_default);
    EXPECT_EQ(std::string(set.buttons[1].text), "No");
    EXPECT_EQ(set.buttons[1].answer, IDNO);
    EXPECT_TRUE(set.buttons[1].escape_default);
    EXPECT_EQ(win32::default_answer(type), IDYES);
    EXPECT_EQ(win32::closed_answer(type), IDNO);
}

TEST(Dialog, OkBoxesAnswerOkWhateverTheIcon) {
    for (UINT type :
         {MB_OK | MB_ICONEXCLAMATION, MB_OK | MB_ICONSTOP, MB_OK | MB_ICONINFORMATION}) {
        const win32::DialogButtons set = win32::dialog_buttons(type);
        ASSERT_EQ(set.count, 1u);
        EXPECT_EQ(set.buttons[0].answer, IDOK);
        EXPECT_EQ(win32::default_answer(type), IDOK);
        EXPECT_EQ(win32::closed_answer(type), IDOK);
    }
}

TEST(Dialog, CancelIsWhatEscapeAndClosingPick) {
    EXPECT_EQ(win32::default_answer(MB_OKCANCEL), IDOK);
    EXPECT_EQ(win32::closed_answer(MB_OKCANCEL), IDCANCEL);
    const UINT yes_no_cancel = 0x3;
    ASSERT_EQ(win32::dialog_buttons(yes_no_cancel).count, 3u);
    EXPECT_EQ(win32::default_answer(yes_no_cancel), IDYES);
    EXPECT_EQ(win32::closed_answer(yes_no_cancel), IDCANCEL);
}

// Types the layer does not offer (Abort/Retry/Ignore...) still get a box that can be answered.
TEST(Dialog, UnsupportedTypesFallBackToOk) {
    const win32::DialogButtons set = win32::dialog_buttons(0x2);
    ASSERT_EQ(set.count, 1u);
    EXPECT_EQ(set.buttons[0].answer, IDOK);
}

} // namespace
