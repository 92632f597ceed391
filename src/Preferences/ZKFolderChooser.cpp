#include "Preferences/ZKFolderChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QTreeView>

ZKFolderChooser ZKSheetFolderChooser()
{
    return [](const ZKFolderRequest& request, std::function<void(const QStringList&)> done) {
        auto* dialog = new QFileDialog(request.window, request.title, request.startFolder);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        dialog->setWindowModality(Qt::WindowModal);
        if (request.allowsMultiple) {
            // Desktop folder dialogs take one folder at a time; Qt's own dialog
            // takes several once its file views allow a wider selection.
            dialog->setOption(QFileDialog::DontUseNativeDialog, true);
            for (const char* name : { "listView", "treeView" }) {
                if (auto* view = dialog->findChild<QAbstractItemView*>(QLatin1String(name)))
                    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
            }
        }
        QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
            QStringList folders;
            if (result == QDialog::Accepted) {
                for (const QString& path : dialog->selectedFiles()) {
                    if (!path.isEmpty())
                        folders.append(QDir::cleanPath(QDir(path).absolutePath()));
                }
            }
            dialog->deleteLater();
            if (done)
                done(folders);
        });
        dialog->open();
    };
}
