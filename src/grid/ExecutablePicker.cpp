#include "grid/ExecutablePicker.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace grid {
namespace {

std::function<QString()>& Override() {
    static std::function<QString()> picker;
    return picker;
}

#ifndef _WIN32
// Programs on this platform carry no extension: keep folders and executable files.
class ExecutableFilter : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
        if (model == nullptr) {
            return true;
        }
        const QFileInfo info = model->fileInfo(model->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }
};
#endif

QString RunDialog() {
    QFileDialog dialog(nullptr);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
#ifdef _WIN32
    dialog.setNameFilter(QStringLiteral("可执行文件(*.exe)"));
#else
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(QStringLiteral("可执行文件(*)"));
    dialog.setProxyModel(new ExecutableFilter(&dialog));
#endif
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

}  // namespace

QString PickExecutable() {
    if (Override()) {
        return Override()();
    }
    return RunDialog();
}

void SetExecutablePicker(std::function<QString()> picker) {
    Override() = std::move(picker);
}

std::string ProgramFolder(const std::string& programPath) {
#ifdef _WIN32
    const auto cut = programPath.find_last_of("\\/");
#else
    const auto cut = programPath.find_last_of('/');
#endif
    return cut == std::string::npos ? std::string() : programPath.substr(0, cut + 1);
}

}  // namespace grid
