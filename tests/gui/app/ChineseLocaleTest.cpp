// Runs in an English session (LANG and LC_ALL are en_US.UTF-8, tests/gui/app/CMakeLists.txt):
// the launcher's start-up must make Qt's own texts Chinese all the same.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/ChineseLocale.h"

namespace {

class ChineseLocaleTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(QLocale::system().language(), QLocale::English);
        EXPECT_EQ(app::ChineseLocale::Install(*qApp).join(u' ').toStdString(), "");
    }
};

TEST_F(ChineseLocaleTest, TheUpdateQuestionHasChineseButtons) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Ravik游戏桌面"),
                    QStringLiteral("发现服务器有新版本，是否升级"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
}

TEST_F(ChineseLocaleTest, TheFileDialogIsChinese) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const struct {
        const char* objectName;
        const char* text;
    } labels[] = {
        {"lookInLabel", "查找范围："},
        {"fileNameLabel", "文件名称(&N)："},
        {"fileTypeLabel", "文件类型："},
    };
    for (const auto& label : labels) {
        SCOPED_TRACE(label.objectName);
        const auto* widget = dialog.findChild<QLabel*>(QString::fromLatin1(label.objectName));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->text(), QString::fromUtf8(label.text));
    }
    const auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Open)->text(), QStringLiteral("打开(&O)"));
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
}

}  // namespace
