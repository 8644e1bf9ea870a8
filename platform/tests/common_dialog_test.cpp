// The common dialog: what it asks the dialog stand-in, what it reads back, the cancel result,
// and the Qt dialog behind it.
#include <gtest/gtest.h>

#include <map>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "platform/scripted.h"
#include "test_support.h"

using namespace platform;
using platformtest::OnNextModal;

namespace {

CommonDialog DatabaseDialog(FileDialogs& dialogs) {
    CommonDialog cd(dialogs);
    cd.DialogTitle = "ファイルの指定";
    cd.InitDir = "/data";
    cd.DefaultExt = "*";
    cd.FileName = "start";
    cd.Filter = "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB";
    cd.FilterIndex = 2;
    cd.Flags = cdlOFNExplorer | 0x200;
    return cd;
}

TEST(CommonDialog, PassesItsPropertiesAndReadsTheChosenPathBack) {
    ScriptedFileDialogs dialogs;
    dialogs.Answer("/data/sub/顧客.mdb");
    CommonDialog cd = DatabaseDialog(dialogs);
    EXPECT_TRUE(cd.ShowOpen());
    EXPECT_EQ(cd.FileName, "/data/sub/顧客.mdb");
    EXPECT_EQ(cd.FileTitle, "顧客.mdb");
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    const FileDialogRequest& r = dialogs.Requests()[0];
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.title, "ファイルの指定");
    EXPECT_EQ(r.initDir, "/data");
    EXPECT_EQ(r.defaultExt, "*");
    EXPECT_EQ(r.fileName, "start");
    EXPECT_EQ(r.filter, cd.Filter);
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.flags, 0x80200);

    dialogs.Answer("/data/new.mdb");
    EXPECT_TRUE(cd.ShowSave());
    EXPECT_TRUE(dialogs.Requests()[1].save);
}

TEST(CommonDialog, CancelEmptiesTheNameOrThrowsWhenCancelErrorIsSet) {
    ScriptedFileDialogs dialogs;
    dialogs.Cancel();
    CommonDialog cd = DatabaseDialog(dialogs);
    EXPECT_FALSE(cd.ShowOpen());
    EXPECT_EQ(cd.FileName, "");

    dialogs.Cancel();
    cd.FileName = "start";
    cd.CancelError = true;
    try {
        cd.ShowSave();
        ADD_FAILURE() << "no DialogCancelled";
    } catch (const DialogCancelled& e) {
        EXPECT_EQ(e.number, cdlCancel);
    }
    EXPECT_EQ(cd.FileName, "");
}

TEST(QtNameFilters, TurnsHostFiltersIntoQtFiltersMatchingLikeTheHost) {
    const QStringList filters = QtNameFilters("すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*."
                                              "MDB|冷凍ファイル(*.ZIP,*LZH)|*.ZIP;*.LZH");
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0], "すべてのファイル(*.*) (*)");
    EXPECT_EQ(filters[1], "ＭＤＢファイル(*.MDB) (*.[Mm][Dd][Bb])");
    EXPECT_EQ(filters[2], "冷凍ファイル(*.ZIP,*LZH) (*.[Zz][Ii][Pp] *.[Ll][Zz][Hh])");

    auto matches = [](const QString& pattern, const QString& name) {
        return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
            .match(name)
            .hasMatch();
    };
    EXPECT_TRUE(matches("*", "README"));
    EXPECT_TRUE(matches("*.[Mm][Dd][Bb]", "data.mdb"));
    EXPECT_TRUE(matches("*.[Mm][Dd][Bb]", "DATA.MDB"));
    EXPECT_FALSE(matches("*.[Mm][Dd][Bb]", "data.mdbx"));

    EXPECT_TRUE(QtNameFilters("").isEmpty());
    EXPECT_EQ(QtNameFilters("BASファイル(*.bas)|*.bas"),
              QStringList{"BASファイル(*.bas) (*.[Bb][Aa][Ss])"});
}

TEST(QtFileDialogs, ShowsTheRequestAndReturnsTheAcceptedPath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile(dir.filePath("a.mdb")).open(QIODevice::WriteOnly);

    FileDialogRequest request;
    request.title = "ファイルの指定";
    request.initDir = dir.path();
    request.filter = "すべてのファイル(*.*)|*.*|ＭＤＢファイル(*.MDB)|*.MDB|Jet 4 "
                     "形式のＭＤＢファイル(*.MDB)|*.MDB";
    request.filterIndex = 2;
    request.fileName = "a.mdb";
    request.flags = 0x80200;

    QString title, selectedFilter, directory;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::Directory;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        selectedFilter = dialog->selectedNameFilter();
        directory = dialog->directory().absolutePath();
        mode = dialog->fileMode();
        // The user picks the third file type before saving.
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(2);
        emit types->activated(2);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept is protected
    });
    QtFileDialogs dialogs;
    const std::optional<FileDialogAnswer> chosen = dialogs.Show(request);
    EXPECT_EQ(title, "ファイルの指定");
    EXPECT_EQ(filters, QtNameFilters(request.filter));
    EXPECT_EQ(selectedFilter, "ＭＤＢファイル(*.MDB)"); // the description alone is shown
    EXPECT_EQ(directory, QDir(dir.path()).absolutePath());
    EXPECT_EQ(mode, QFileDialog::AnyFile); // a new file's name can be typed
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->path, QDir(dir.path()).absoluteFilePath("a.mdb"));
    EXPECT_EQ(chosen->filterIndex, 3); // the file type shown when the name was taken
}

TEST(QtFileDialogs, TheDetailColumnsAreJapaneseAndShownWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile file(dir.filePath("shop.mdb"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(13 * 1024 + 512, 'x'));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const QDateTime stamp(QDate(2026, 12, 8), QTime(9, 5));
    {
        QFile file(dir.filePath("shop.mdb"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }

    FileDialogRequest request;
    request.initDir = dir.path();
    request.filter = "すべてのファイル(*.*)|*.*";
    std::map<QString, QStringList> rows;
    QStringList headings;
    std::vector<int> cut; // columns narrower than their widest text
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->setViewMode(QFileDialog::Detail);
        auto* view = dialog->findChild<QTreeView*>("treeView");
        ASSERT_NE(view, nullptr);
        QAbstractItemModel* model = view->model();
        const QModelIndex root = view->rootIndex();
        // The folder is read in the background.
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) == 2; }, 5000));
        QCoreApplication::processEvents();
        for (int column = 0; column < 4; ++column)
            headings << model->headerData(column, Qt::Horizontal).toString();
        for (int row = 0; row < model->rowCount(root); ++row) {
            QStringList texts;
            for (int column = 0; column < 4; ++column) {
                const QModelIndex index = model->index(row, column, root);
                texts << index.data().toString();
                // What the cell's delegate needs for its text and margins.
                QStyleOptionViewItem option;
                option.initFrom(view->viewport());
                const int needed =
                    view->itemDelegateForIndex(index)->sizeHint(option, index).width();
                if (column > 0 && needed > view->columnWidth(column)) cut.push_back(column);
            }
            rows[texts[0]] = texts;
        }
        dialog->reject();
    });
    QtFileDialogs dialogs;
    EXPECT_FALSE(dialogs.Show(request).has_value());
    EXPECT_EQ(headings, (QStringList{"名前", "サイズ", "種類", "更新日時"}));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows["shop.mdb"],
              (QStringList{"shop.mdb", "13.5 KB", "MDB ファイル", "2026/12/08 09:05"}));
    EXPECT_EQ(rows["sub"][1], "");
    EXPECT_EQ(rows["sub"][2], "フォルダー");
    EXPECT_TRUE(cut.empty()) << cut.size() << " cells cut";
}

TEST(QtFileDialogs, RejectedDialogGivesNoPath) {
    OnNextModal([](QWidget* w) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w)) dialog->reject();
    });
    QtFileDialogs dialogs;
    FileDialogRequest request;
    request.flags = cdlOFNFileMustExist;
    EXPECT_FALSE(dialogs.Show(request).has_value());
}

} // namespace
