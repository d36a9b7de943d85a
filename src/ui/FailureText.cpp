#include "ui/FailureText.h"

#include <QDir>

namespace ui {

QString SystemReasonText(const std::error_code& error) {
    if (!error) {
        return {};
    }
    using std::errc;
    const struct {
        errc condition;
        const char* text;
    } kReasons[] = {
        {errc::permission_denied, "权限不足"},
        {errc::operation_not_permitted, "权限不足"},
        {errc::read_only_file_system, "磁盘只读"},
        {errc::no_space_on_device, "磁盘空间不足"},
        {errc::file_too_large, "磁盘空间不足"},
        {errc::no_such_file_or_directory, "路径不存在"},
        {errc::not_a_directory, "路径中有同名的文件"},
        {errc::file_exists, "已有同名的文件"},
        {errc::is_a_directory, "已有同名的文件夹"},
        {errc::device_or_resource_busy, "文件正被其他程序使用"},
        {errc::text_file_busy, "文件正被其他程序使用"},
        {errc::filename_too_long, "路径太长"},
        {errc::io_error, "磁盘读写出错"},
    };
    for (const auto& reason : kReasons) {
        if (error == reason.condition) {
            return QString::fromUtf8(reason.text);
        }
    }
    return QStringLiteral("系统错误 %1").arg(error.value());
}

QString WriteFailureText(const QString& lead, const job::Result& failure) {
    QString text = lead;
    if (!failure.path.empty()) {
        text +=
            QStringLiteral("：") + QDir::toNativeSeparators(QString::fromStdString(failure.path));
    }
    const QString reason = SystemReasonText(failure.error);
    if (!reason.isEmpty()) {
        text += QStringLiteral("（") + reason + QStringLiteral("）");
    }
    return text;
}

}  // namespace ui
