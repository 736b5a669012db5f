#include "ui/qt/Icons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor kInk(0x2b, 0x4c, 0x7e);
const QColor kAccent(0xd9, 0x3f, 0x2f);
const QColor kGreen(0x2e, 0x8b, 0x57);

void Envelope(QPainter& p, const QRectF& r, const QColor& color) {
    p.setPen(QPen(color, std::max<qreal>(1, r.width() / 14)));
    p.setBrush(Qt::white);
    p.drawRect(r);
    QPainterPath flap;
    flap.moveTo(r.topLeft());
    flap.lineTo(r.center().x(), r.center().y());
    flap.lineTo(r.topRight());
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
}

void Draw(QPainter& p, TPicture picture, qreal s) {
    const QRectF letter(s * 0.12, s * 0.28, s * 0.76, s * 0.5);
    switch (picture) {
        case TPicture::ReceiveMail:
        case TPicture::InBox: {
            Envelope(p, letter, kInk);
            p.setPen(QPen(kGreen, s / 10, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.5, s * 0.02), QPointF(s * 0.5, s * 0.24));
            p.drawLine(QPointF(s * 0.38, s * 0.14), QPointF(s * 0.5, s * 0.24));
            p.drawLine(QPointF(s * 0.62, s * 0.14), QPointF(s * 0.5, s * 0.24));
            break;
        }
        case TPicture::ProcessMail:
        case TPicture::DelBox: {
            Envelope(p, letter, kInk);
            p.setPen(QPen(kAccent, s / 9, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.55, s * 0.55), QPointF(s * 0.9, s * 0.9));
            p.drawLine(QPointF(s * 0.9, s * 0.55), QPointF(s * 0.55, s * 0.9));
            break;
        }
        case TPicture::RunMailClient: {
            Envelope(p, letter, kInk);
            QPainterPath play;
            play.moveTo(s * 0.55, s * 0.5);
            play.lineTo(s * 0.95, s * 0.72);
            play.lineTo(s * 0.55, s * 0.94);
            play.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawPath(play);
            break;
        }
        case TPicture::Settings: {
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.translate(s / 2, s / 2);
            for (int i = 0; i < 8; ++i) {
                p.drawRect(QRectF(-s * 0.07, -s * 0.46, s * 0.14, s * 0.2));
                p.rotate(45);
            }
            p.drawEllipse(QPointF(0, 0), s * 0.3, s * 0.3);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(0, 0), s * 0.12, s * 0.12);
            break;
        }
        case TPicture::Filters: {
            QPainterPath funnel;
            funnel.moveTo(s * 0.1, s * 0.15);
            funnel.lineTo(s * 0.9, s * 0.15);
            funnel.lineTo(s * 0.58, s * 0.52);
            funnel.lineTo(s * 0.58, s * 0.88);
            funnel.lineTo(s * 0.42, s * 0.78);
            funnel.lineTo(s * 0.42, s * 0.52);
            funnel.closeSubpath();
            p.setPen(QPen(kInk, s / 16));
            p.setBrush(QColor(0xf2, 0xc1, 0x4e));
            p.drawPath(funnel);
            break;
        }
        case TPicture::Friends: {
            p.setPen(QPen(kInk, s / 16));
            p.setBrush(QColor(0x9f, 0xd3, 0x8c));
            p.drawEllipse(QPointF(s * 0.5, s * 0.32), s * 0.18, s * 0.18);
            p.drawChord(QRectF(s * 0.18, s * 0.55, s * 0.64, s * 0.6), 0, 180 * 16);
            break;
        }
        case TPicture::BlackList: {
            p.setPen(QPen(Qt::white, s / 14));
            p.setBrush(kAccent);
            QPolygonF octagon;
            for (int i = 0; i < 8; ++i) {
                const qreal a = (22.5 + 45 * i) * 3.14159265 / 180;
                octagon << QPointF(s / 2 + std::cos(a) * s * 0.46, s / 2 + std::sin(a) * s * 0.46);
            }
            p.drawPolygon(octagon);
            p.setPen(QPen(Qt::white, s / 9, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.28, s * 0.5), QPointF(s * 0.72, s * 0.5));
            break;
        }
        case TPicture::Program: {
            QPainterPath shield;
            shield.moveTo(s * 0.5, s * 0.04);
            shield.lineTo(s * 0.9, s * 0.18);
            shield.cubicTo(s * 0.9, s * 0.6, s * 0.7, s * 0.85, s * 0.5, s * 0.96);
            shield.cubicTo(s * 0.3, s * 0.85, s * 0.1, s * 0.6, s * 0.1, s * 0.18);
            shield.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawPath(shield);
            Envelope(p, QRectF(s * 0.27, s * 0.33, s * 0.46, s * 0.3), QColor(0x9f, 0xb8, 0xde));
            break;
        }
        case TPicture::Mark: {
            p.setPen(QPen(QColor(0x2e, 0x8b, 0x3e), s / 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(s * 0.18, s * 0.52), QPointF(s * 0.42, s * 0.76), QPointF(s * 0.82, s * 0.26)}));
            break;
        }
    }
}

const char* ThemeName(TPicture picture) {
    switch (picture) {
        case TPicture::ReceiveMail: return "mail-receive";
        case TPicture::ProcessMail: return "mail-mark-junk";
        case TPicture::RunMailClient: return "mail-send-receive";
        case TPicture::Settings: return "preferences-system";
        default: return nullptr;  // the modes look the same on every desktop
    }
}

QPixmap Drawing(TPicture picture, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    Draw(p, picture, size);
    return pixmap;
}

}  // namespace

QIcon PictureIcon(TPicture picture) {
    QIcon drawn;
    for (int size : {16, 24, 32, 48}) drawn.addPixmap(Drawing(picture, size));
    const char* theme = ThemeName(picture);
    return theme ? QIcon::fromTheme(QString::fromLatin1(theme), drawn) : drawn;
}

QPixmap LogoMark(int size) { return Drawing(TPicture::Program, size); }

QPixmap LogoWordmark(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(height * 6 / 10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, width, height * 3 / 4), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tarnwick"));
    p.setPen(QColor(0x9f, 0xb8, 0xde));
    QFont small = font;
    small.setBold(false);
    small.setPixelSize(height / 5);
    p.setFont(small);
    p.drawText(QRect(0, height * 3 / 4 - 4, width, height / 4 + 4), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("spam stops at the server"));
    return pixmap;
}
