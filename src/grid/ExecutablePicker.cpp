#include "grid/ExecutablePicker.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

#include "platform/Paths.h"

namespace grid {
namespace {

std::function<QString()>& Override() {
    static std::function<QString()> picker;
    return picker;
}

// Where programs carry no extension, the dialog keeps folders and executable files.
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

QString RunDialog() {
    QFileDialog dialog(nullptr);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QString suffix = QString::fromUtf8(platform::kExecutableSuffix);
    if (!suffix.isEmpty()) {
        dialog.setNameFilter(QStringLiteral("可执行文件(*%1)").arg(suffix));
    } else {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilter(QStringLiteral("可执行文件(*)"));
        dialog.setProxyModel(new ExecutableFilter(&dialog));
    }
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
    return platform::FolderOf(programPath);
}

}  // namespace grid
