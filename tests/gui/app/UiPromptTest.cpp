#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DialogTestSupport.h"
#include "app/UiPrompt.h"
#include "server/VersionCheck.h"

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

TEST(UiPromptTest, AWorkersQuestionIsAskedOnTheUiThreadAndWaitsForTheAnswer) {
    for (const PromptCase& c : kCases) {
        SCOPED_TRACE(c.name);
        app::UiPrompt prompt;
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

TEST(UiPromptTest, AskedOnTheUiThreadItselfAnswersDirectly) {
    for (const PromptCase& c : kCases) {
        SCOPED_TRACE(c.name);
        app::UiPrompt prompt;
        MessageBoxAnswerer boxes(c.answer);
        EXPECT_EQ(Prompt(prompt, c), c.result);
        ExpectBox(boxes, c);
    }
}

TEST(UiPromptTest, AtShutdownAWaitingWorkerAndLaterQuestionsGetCancel) {
    app::UiPrompt prompt;
    std::atomic<bool> done{false};
    bool waiting = true;
    // Nobody answers: the UI thread does not run its loop until the worker has asked.
    std::thread worker([&] {
        waiting = prompt.Confirm(server::kAskUpdateText);
        done = true;
    });
    prompt.Shutdown();
    worker.join();
    EXPECT_TRUE(done.load());
    EXPECT_FALSE(waiting);
    bool later = true;
    std::thread after([&] { later = prompt.Confirm(server::kAskUpdateText); });
    after.join();
    EXPECT_FALSE(later);
    // A question that was queued before the shutdown is not put afterwards.
    MessageBoxAnswerer boxes(QMessageBox::Cancel);
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.SeenBoxes().empty());
}

}  // namespace
