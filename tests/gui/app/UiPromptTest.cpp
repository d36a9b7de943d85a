#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "app/UiPrompt.h"
#include "server/VersionCheck.h"

namespace {

using dialogtest::MessageBoxAnswerer;

struct PromptCase {
    const char* name;
    bool ask;  // AskUpdate, else Tell
    const char* text;
    QMessageBox::StandardButton answer;
    server::UpdateAnswer result;
    QMessageBox::StandardButtons buttons;
};

const QMessageBox::StandardButtons kUpdateButtons =
    QMessageBox::Ok | QMessageBox::Ignore | QMessageBox::Cancel;

const PromptCase kCases[] = {
    {"ask, update", true, server::kAskUpdateText, QMessageBox::Ok, server::UpdateAnswer::Update,
     kUpdateButtons},
    {"ask, skip", true, server::kAskUpdateText, QMessageBox::Ignore,
     server::UpdateAnswer::SkipRelease, kUpdateButtons},
    {"ask, later", true, server::kAskUpdateText, QMessageBox::Cancel, server::UpdateAnswer::Later,
     kUpdateButtons},
    {"tell", false, server::kUpToDateText, QMessageBox::Ok, server::UpdateAnswer::Later,
     QMessageBox::Ok},
};

server::UpdateAnswer Prompt(app::UiPrompt& prompt, const PromptCase& c) {
    if (c.ask) {
        return prompt.AskUpdate(c.text);
    }
    prompt.Tell(c.text);
    return server::UpdateAnswer::Later;
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

// The update question speaks Chinese on every button, and Escape means 以后再说.
TEST(UiPromptTest, TheUpdateQuestionsButtonsAreChineseAndEscapeMeansLater) {
    QStringList texts;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&texts] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible() || !texts.isEmpty()) {
                continue;
            }
            for (auto button : {QMessageBox::Ok, QMessageBox::Ignore, QMessageBox::Cancel}) {
                texts << box->button(button)->text();
            }
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    timer.start(10);
    app::UiPrompt prompt;
    EXPECT_EQ(prompt.AskUpdate(server::kAskUpdateText), server::UpdateAnswer::Later);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("升级"), QStringLiteral("跳过此版本"),
                                  QStringLiteral("以后再说")}));
}

}  // namespace
