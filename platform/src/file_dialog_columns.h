// The columns of the Qt file dialog in Japanese: size, kind and date as the user's system
// words them, whatever locale the program runs under and whichever texts Qt's own translation
// lacks.
#pragma once

#include <QIdentityProxyModel>

namespace platform {

// Stands between the dialog's file system model and its views (QFileDialog::setProxyModel).
class JapaneseFileColumns : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
};

} // namespace platform
