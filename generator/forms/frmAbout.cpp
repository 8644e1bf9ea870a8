#include "frmAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include "engine/version.h"

#ifndef VESPEN_VERSION
#define VESPEN_VERSION "0.0.0"
#endif

frmAbout::frmAbout(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(VersionText(), this);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Label1);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(Command1, 0, Qt::AlignRight);
}

QString frmAbout::VersionText() {
    return QStringLiteral("VB用標準モジュール作成 Vespen\n"
                          "バージョン %1\n"
                          "ビルド日 %2\n"
                          "\n"
                          "Qt %3\n"
                          "SQLite %4")
        .arg(QStringLiteral(VESPEN_VERSION), QStringLiteral(__DATE__),
             QString::fromLatin1(qVersion()),
             QString::fromStdString(engine::StorageLibraryVersion()));
}
