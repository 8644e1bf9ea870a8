#include "frmAbout.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>
#include <archive.h>
#include <cstring>

#include "QtText.h"
#include "engine/version.h"
#include "modules/TavorinSub.h"
#include "platform/prompts.h"

#ifndef TAVORIN_VERSION
#define TAVORIN_VERSION "0.0.0"
#endif
#ifndef TAVORIN_LIBMDB_VERSION
#define TAVORIN_LIBMDB_VERSION "?"
#endif

namespace tavorin {

namespace {

// __DATE__ ("Jan 31 2025") as yyyy/mm/dd.
QString BuildDate() {
    static const char* const kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* date = __DATE__;
    const char* found = std::strstr(kMonths, QByteArray(date, 3).constData());
    const int month = found ? static_cast<int>((found - kMonths) / 3) + 1 : 0;
    const int day = QByteArray(date + 4, 2).trimmed().toInt();
    const int year = QByteArray(date + 7, 4).toInt();
    return QStringLiteral("%1/%2/%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

// The value of one "key : value" line of a /proc file. Such files report a size of 0, so they
// are read to their end rather than by their size.
QString ProcValue(const char* file, const char* key) {
    QFile f(QString::fromLatin1(file));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QByteArray wanted(key);
    for (const QByteArray& line : f.readAll().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == wanted)
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
    }
    return {};
}

QString MegabytesOf(const QString& meminfoValue) {
    const qlonglong kb = meminfoValue.section(QLatin1Char(' '), 0, 0).toLongLong();
    return kb > 0 ? QStringLiteral("%1 MB").arg(kb / 1024) : Q("不明");
}

} // namespace

QString VersionText() {
    return Q("バージョン ") + QStringLiteral(TAVORIN_VERSION) + Q("　（ビルド日 ") + BuildDate() +
           Q("）");
}

QString LibraryVersionsText() {
    return QStringLiteral("Qt %1\nSQLite %2\nlibmdb %3\nlibarchive %4")
        .arg(QString::fromLatin1(qVersion()),
             QString::fromStdString(engine::StorageLibraryVersion()),
             QStringLiteral(TAVORIN_LIBMDB_VERSION),
             QString::fromLatin1(archive_version_string()).section(QLatin1Char(' '), -1));
}

QString SystemInformationText() {
    QString cpu = ProcValue("/proc/cpuinfo", "model name");
    if (cpu.isEmpty()) cpu = QSysInfo::currentCpuArchitecture();
    const QStringList lines = {
        Q("OS: ") + QSysInfo::prettyProductName(),
        Q("カーネル: ") + QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion(),
        Q("CPU: ") + cpu +
            QStringLiteral(" (%1, %2 ")
                .arg(QSysInfo::currentCpuArchitecture())
                .arg(QThread::idealThreadCount()) +
            Q("スレッド)"),
        Q("メモリ: ") + MegabytesOf(ProcValue("/proc/meminfo", "MemTotal")) + Q("（空き ") +
            MegabytesOf(ProcValue("/proc/meminfo", "MemAvailable")) + Q("）"),
        QString(),
        LibraryVersionsText(),
    };
    return lines.join(QLatin1Char('\n'));
}

frmAbout::frmAbout(platform::Services& platform, QWidget* owner)
    : QWidget(owner, Qt::Dialog), platform_(platform) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Q("バージョン情報"));

    lblTitle = new QLabel(QStringLiteral("Tavorin"), this);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    auto* subtitle = new QLabel(Q("フォーマットの作成 ― テーブルレイアウトの設計"), this);
    lblVersion = new QLabel(VersionText(), this);
    lblLibraries = new QLabel(LibraryVersionsText(), this);
    lblLibraries->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(Q("システム情報(&S)..."), this);
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdSysInfo, &QPushButton::clicked, this,
            [this] { Guarded(platform_, [this] { cmdSysInfo_Click(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(subtitle);
    layout->addSpacing(8);
    layout->addWidget(lblVersion);
    layout->addSpacing(8);
    layout->addWidget(lblLibraries);
    layout->addSpacing(12);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    layout->addLayout(buttons);
}

void frmAbout::cmdSysInfo_Click() {
    platform_.MsgBox(SystemInformationText(), platform::vbInformation, Q("システム情報"));
}

} // namespace tavorin
