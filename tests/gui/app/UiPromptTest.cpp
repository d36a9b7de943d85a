#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "app/UiPrompt.h"
#include "server/VersionCheck.h"

namespace {

using dialogtest::MessageBoxAnswerer;

struct PromptCase {
    const char* name;
    bool confirm;  // Confirm, else Tell
    const char* text;
    QMessageBox::StandardButton answer;
    bool result;
    QMessageBox::StandardButtons buttons;
};

const PromptCase kCases[] = {
    {"ask, OK", true, server::kAskUpdateText, QMessageBox::Ok, true,
     QMessageBox::Ok | QMessageBox::Cancel},
    {"ask, cancel", true, server::kAskUpdateText, QMessageBox::Cancel, false,
     QMessageBox::Ok | QMessageBox::Cancel},
    {"tell", false, server::kUpToDateText, QMessageBox::Ok, true, QMessageBox::Ok},
};

bool Prompt(app::UiPrompt& prompt, const PromptCase& c) {
    if (c.confirm) {
        return prompt.Confirm(c.text);
    }
    prompt.Tell(c.text);
    return true;
}

void ExpectBox(const MessageBoxAnswerer& boxes, const PromptCase& c) {
    ASSERT_EQ(boxes.SeenBoxes().size(), 1u);
    EXPECT_EQ(boxes.SeenBoxes()[0].text, QString::fromUtf8(c.text));
    EXPECT_EQ(boxes.SeenBoxes()[0].title, QStringLiteral("Ravik游戏桌面"));
    EXPECT_EQ(boxes.SeenBoxes()[0].buttons, c.buttons);
}

TEST(UiPromptTest, AskedOnTheUiThreadItselfAnswersDirectly) {
    for (const PromptCase& c : kCases) {
        SCOPED_TRACE(c.name);
        app::UiPrompt prompt;
        MessageBoxAnswerer boxes(c.answer);
        EXPECT_EQ(Prompt(prompt, c), c.result);
        ExpectBox(boxes, c);
    }
}

}  // namespace
