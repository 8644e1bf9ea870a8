// Printer operations drawn onto a Qt paint device.
#include "print_canvas.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QMarginsF>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>

namespace platform {
namespace {

bool Installed(const QStringList& families, const QString& family) {
    return families.contains(family, Qt::CaseInsensitive);
}

// The forms measure columns in code page 932 bytes, so a usable face draws every half-width
// character at exactly half the width of a full-width one. Qt's own fixed-pitch flag is false
// for such faces (their full-width characters are twice as wide), so the widths are measured.
bool HasByteColumns(const QFont& font) {
    const QFontMetricsF m(font);
    const qreal half = m.horizontalAdvance(QLatin1Char('A'));
    if (half <= 0) return false;
    for (const char16_t ch : {u'i', u'W', u'1', u'\uFF71' /* half-width katakana a */})
        if (qAbs(m.horizontalAdvance(QChar(ch)) - half) > 0.01 * half) return false;
    return qAbs(m.horizontalAdvance(QChar(u'\u3042')) - 2 * half) <= 0.01 * half;
}

// The installed family Qt draws for `family` when that face has byte columns, else empty.
// Under a Japanese locale fontconfig lists faces by their Japanese names (IPAGothic as
// 「IPAゴシック」), so a name is resolved rather than looked up in the list.
QString ResolvedFamily(const QStringList& families, const QString& family) {
    QFont font(family);
    font.setPixelSize(180);
    const QString resolved = QFontInfo(font).family();
    if (!Installed(families, resolved)) return {};
    return HasByteColumns(font) ? resolved : QString();
}

QString ChooseFamily(const QString& hostName) {
    const QStringList families = QFontDatabase::families();
    if (!hostName.isEmpty() && Installed(families, hostName)) return hostName;

    const bool mincho = hostName.contains(QString::fromUtf8("明朝")) ||
                        hostName.contains(QLatin1String("Mincho"), Qt::CaseInsensitive);
    const QStringList preferred =
        mincho ? QStringList{QStringLiteral("IPAMincho"), QStringLiteral("IPAexMincho"),
                             QStringLiteral("TakaoMincho"), QStringLiteral("IPAGothic")}
               : QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic"),
                             QStringLiteral("TakaoGothic"), QStringLiteral("VL Gothic"),
                             QStringLiteral("Noto Sans Mono CJK JP")};
    for (const QString& family : preferred) {
        const QString resolved = ResolvedFamily(families, family);
        if (!resolved.isEmpty()) return resolved;
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const QString& family : japanese) {
        const QString resolved = ResolvedFamily(families, family);
        if (!resolved.isEmpty()) return resolved;
    }
    if (!japanese.isEmpty()) return japanese.first();
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

} // namespace

std::vector<std::vector<PrintOp>> PagesOf(const std::vector<PrintOp>& ops) {
    std::vector<std::vector<PrintOp>> pages;
    PageRule rule;
    for (const PrintOp& op : ops) {
        if (op.kind == PrintOp::NewPage || op.kind == PrintOp::EndDoc) {
            rule.Break();
            continue;
        }
        rule.BeforeDrawing();
        if (static_cast<int>(pages.size()) < rule.Pages()) pages.emplace_back();
        pages.back().push_back(op);
    }
    return pages;
}

QString PrintFontFamily(const QString& hostName) {
    return ChooseFamily(hostName);
}

double LineWidthTwips(int drawWidth) {
    return std::max(drawWidth, 1) * 1440.0 / 300.0;
}

QPageLayout FormPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5),
                       QPageLayout::Millimeter);
}

PrintCanvas::PrintCanvas(QPainter& painter, QPagedPaintDevice& device)
    : painter_(painter), device_(device) {
    SetUpPainter();
}

// The transform makes one unit a twip; a new page of some devices resets the painter.
void PrintCanvas::SetUpPainter() {
    painter_.resetTransform();
    painter_.scale(device_.logicalDpiX() / 1440.0, device_.logicalDpiY() / 1440.0);
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.setBrush(Qt::NoBrush);
    fontName_.clear();
    fontSize_ = -1;
}

// The device's first page is open from the start; later ones are turned here.
bool PrintCanvas::BeginDrawing() {
    if (!rule_.BeforeDrawing()) return true;
    if (!device_.newPage()) return false;
    SetUpPainter();
    return true;
}

void PrintCanvas::UseFont(const QString& hostName, double points) {
    if (hostName == fontName_ && points == fontSize_) return;
    // The font database is asked once per name and canvas.
    auto family = families_.constFind(hostName);
    if (family == families_.constEnd())
        family = families_.insert(hostName, PrintFontFamily(hostName));
    QFont font(*family);
    // A size in units of the painter, that is in twips: a point is 20 twips.
    font.setPixelSize(std::max(1, qRound(points * 20)));
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    painter_.setFont(font);
    ascent_ = QFontMetricsF(font).ascent();
    fontName_ = hostName;
    fontSize_ = points;
}

bool PrintCanvas::Apply(const PrintOp& op) {
    switch (op.kind) {
    case PrintOp::NewPage:
    case PrintOp::EndDoc:
        rule_.Break();
        return true;
    case PrintOp::Line: {
        if (!BeginDrawing()) return false;
        // Square ends close the corners where a thick rule meets a thick side.
        painter_.setPen(
            QPen(Qt::black, LineWidthTwips(op.width), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter_.drawLine(QPointF(op.x, op.y), QPointF(op.x2, op.y2));
        return true;
    }
    case PrintOp::Text:
        if (!BeginDrawing()) return false;
        UseFont(op.fontName, op.fontSize);
        painter_.setPen(Qt::black);
        // The position is the top of the text; Qt draws on the baseline.
        painter_.drawText(QPointF(op.x, op.y + ascent_), op.text);
        return true;
    }
    return true;
}

} // namespace platform
