#include <gtest/gtest.h>

#include <QGuiApplication>
#include <atomic>
#include <thread>

#include "DialogTestSupport.h"
#include "server/VersionCheck.h"
#include "ui/QtUserPrompt.h"

namespace {

using dialogtest::MessageBoxAnswerer;
using dialogtest::WaitFor;

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

bool Prompt(ui::QtUserPrompt& prompt, const PromptCase& c) {
    if (c.confirm) {
        return prompt.Confirm(c.text);
    }
    prompt.Tell(c.text);
    return true;
}

void ExpectBox(const MessageBoxAnswerer& boxes, const PromptCase& c) {
    ASSERT_EQ(boxes.SeenBoxes().size(), 1u);
    EXPECT_EQ(boxes.SeenBoxes()[0].text, QString::fromUtf8(c.text));
    EXPECT_EQ(boxes.SeenBoxes()[0].title, QGuiApplication::applicationDisplayName());
    EXPECT_EQ(boxes.SeenBoxes()[0].buttons, c.buttons);
}

TEST(QtUserPromptTest, AWorkersQuestionIsAskedOnTheUiThreadAndWaitsForTheAnswer) {
    for (const PromptCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ui::QtUserPrompt prompt;
        MessageBoxAnswerer boxes(c.answer);
        std::atomic<bool> done{false};
        bool result = !c.result;
        std::thread worker([&] {
            result = Prompt(prompt, c);
            done = true;
        });
        ASSERT_TRUE(WaitFor([&] { return done.load(); }));
        worker.join();
        EXPECT_EQ(result, c.result);
        ExpectBox(boxes, c);
    }
}

TEST(QtUserPromptTest, AskedOnTheUiThreadItselfAnswersDirectly) {
    for (const PromptCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ui::QtUserPrompt prompt;
        MessageBoxAnswerer boxes(c.answer);
        EXPECT_EQ(Prompt(prompt, c), c.result);
        ExpectBox(boxes, c);
    }
}

}  // namespace
